#include "clipboard.h"

#include "helper_process.h"

namespace orvel::cli {

std::optional<std::vector<std::string>> clipboardCommand(
    const ClipboardDesktop& desktop,
    const std::function<std::optional<std::string>(const std::string&)>& find,
    ClipboardContent content) {
  const bool png = content == ClipboardContent::kPng;
  if (desktop.wayland) {
    if (auto tool = find("wl-copy")) {
      if (png) return std::vector<std::string>{*tool, "--type", "image/png"};
      return std::vector<std::string>{*tool};
    }
  }
  // XWayland serves X11 clients' clipboard on Wayland desktops too.
  if (desktop.x11) {
    if (auto tool = find("xclip")) {
      if (png) return std::vector<std::string>{*tool, "-selection", "clipboard", "-t", "image/png"};
      return std::vector<std::string>{*tool, "-selection", "clipboard"};
    }
  }
  return std::nullopt;
}

Expected<void, Failure> copyToClipboard(const std::vector<std::string>& command,
                                        const std::string& bytes) {
  auto tool = HelperProcess::start(command);
  if (!tool) return unexpected(tool.error());
  if (!(*tool)->write(bytes)) return failed(command[0] + " did not take the clipboard's content.");
  (*tool)->closeInput();
  // Both tools hand the clipboard to a background process of their own and end.
  const auto status = (*tool)->wait(std::chrono::seconds(10));
  if (status != 0) return failed(command[0] + " failed to set the clipboard.");
  return {};
}

}  // namespace orvel::cli
