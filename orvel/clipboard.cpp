#include "clipboard.h"

#include "helper_process.h"

namespace orvel::cli {

std::optional<std::vector<std::string>> clipboardCommand(
    const ClipboardDesktop& desktop,
    const std::function<std::optional<std::string>(const std::string&)>& find) {
  if (desktop.wayland) {
    if (auto tool = find("wl-copy")) return std::vector<std::string>{*tool};
  }
  // XWayland serves X11 clients' clipboard on Wayland desktops too.
  if (desktop.x11) {
    if (auto tool = find("xclip"))
      return std::vector<std::string>{*tool, "-selection", "clipboard"};
  }
  return std::nullopt;
}

Expected<void, Failure> copyText(const std::vector<std::string>& command, const std::string& text) {
  auto tool = HelperProcess::start(command);
  if (!tool) return unexpected(tool.error());
  if (!(*tool)->write(text)) return failed(command[0] + " did not take the text.");
  (*tool)->closeInput();
  // Both tools hand the clipboard to a background process of their own and end.
  const auto status = (*tool)->wait(std::chrono::seconds(10));
  if (status != 0) return failed(command[0] + " failed to set the clipboard.");
  return {};
}

}  // namespace orvel::cli
