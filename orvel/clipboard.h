// The clipboard through the desktop's own command-line tools (wl-copy on Wayland, xclip on X11),
// which keep serving the clipboard after orvel ends. Choosing the tool is pure; copying runs it.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"

namespace orvel::cli {

struct ClipboardDesktop {
  bool wayland = false;  // WAYLAND_DISPLAY set
  bool x11 = false;      // DISPLAY set
};

// What goes on the clipboard: text, or a PNG picture (offered as image/png).
enum class ClipboardContent { kText, kPng };

// The command that takes the content on its standard input, or none when no tool for the desktop
// is installed. `find` returns a program's path from $PATH.
std::optional<std::vector<std::string>> clipboardCommand(
    const ClipboardDesktop& desktop,
    const std::function<std::optional<std::string>(const std::string&)>& find,
    ClipboardContent content = ClipboardContent::kText);

inline constexpr const char* kNoClipboardTool =
    "No clipboard tool: install wl-clipboard (Wayland) or xclip (X11) for --copy.";

// Runs `command` with `bytes` on its standard input; the tool's own process then serves them.
Expected<void, Failure> copyToClipboard(const std::vector<std::string>& command,
                                        const std::string& bytes);

}  // namespace orvel::cli
