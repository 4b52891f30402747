// What the autostart entry depends on in the running process, read afresh for every call.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace orvel::startup {

struct XdgEnvironment {
  // The main application: the executable of this process.
  std::optional<std::filesystem::path> executable;
  // $XDG_CONFIG_HOME, or ~/.config.
  std::optional<std::filesystem::path> configHome;
  // $XDG_CURRENT_DESKTOP: desktop names separated by ':'.
  std::string currentDesktop;

  static XdgEnvironment ofThisProcess();

  // The executable named by the /proc/self/exe link text. The kernel appends " (deleted)" once
  // the file is unlinked; when a newer file took its place (an upgrade), that file is the
  // application. Nothing when neither exists.
  static std::optional<std::filesystem::path> executableFromLink(const std::string& link);

  // Relative values are ignored, as the XDG base directory rules ask.
  static std::optional<std::filesystem::path> configHomeFrom(const char* xdgConfigHome,
                                                             const char* home);
};

}  // namespace orvel::startup
