#include "platform/wayland/wayland_screens.h"

namespace orvel::wayland {

std::vector<platform::ScreenInfo> WaylandScreens::screens() {
  // A compositor that went away has no screens.
  if (!connection_.ok() || !connection_.roundtrip()) {
    layout_ = OutputLayout();
    return {};
  }
  layout_ = connection_.layout();
  return layout_.screens();
}

std::optional<Rect> WaylandScreens::displayBounds(std::uint32_t displayID) {
  return layout_.displayBounds(displayID);
}

}  // namespace orvel::wayland
