#include "platform/wayland/sway_workspace.h"

#include <limits>

namespace orvel::wayland {

void SwayWorkspace::activate(std::int32_t pid, std::uint32_t windowID) {
  focus_.activate(pid, windowID);
}

std::optional<std::uint32_t> SwayWorkspace::frontmostWindow() {
  const auto view = focus_.frontmostView();
  // Window numbers are container ids, which sway keeps below 2^31.
  if (!view || *view <= 0 || *view > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  return static_cast<std::uint32_t>(*view);
}

}  // namespace orvel::wayland
