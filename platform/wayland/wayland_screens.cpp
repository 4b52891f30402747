#include "platform/wayland/wayland_screens.h"

namespace orvel::wayland {

std::vector<platform::ScreenInfo> WaylandScreens::screens() {
  // A compositor that went away has no screens. One that stalls keeps the outputs it last
  // announced: nothing says they changed, and an empty list would read as a change.
  if (!connection_.ok()) {
    layout_ = OutputLayout();
    return {};
  }
  connection_.roundtrip();
  if (!connection_.ok()) {
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
