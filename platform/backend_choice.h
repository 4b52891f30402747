// Which desktop backends a helper tries, in order, from its environment: $ORVEL_BACKEND forces
// "wayland" or "x11"; unset, Wayland when $WAYLAND_DISPLAY is set, then X11. Made once in main.
#pragma once

#include <string>
#include <string_view>

namespace orvel::platform {

struct BackendChoice {
  bool tryWayland = false;
  bool tryX11 = false;
  std::string warning;  // for the log when $ORVEL_BACKEND holds something else
};

// Null arguments are unset variables.
inline BackendChoice chooseBackends(const char* forced, const char* waylandDisplay) {
  const std::string_view force = forced ? forced : "";
  BackendChoice choice;
  if (!force.empty() && force != "wayland" && force != "x11") {
    choice.warning = "ORVEL_BACKEND must be wayland or x11, not " + std::string(force);
  }
  // Any other value names no backend: none is tried.
  choice.tryWayland =
      force == "wayland" || (force.empty() && waylandDisplay != nullptr && *waylandDisplay != '\0');
  choice.tryX11 = force == "x11" || force.empty();
  return choice;
}

}  // namespace orvel::platform
