// The Screens port on Wayland: one screen per output of the compositor's logical layout, the main
// output (at 0,0) first. Frames are in screen coordinates (points, origin at the main output's
// bottom-left corner, y up), display bounds in global display coordinates; a display's id is its
// wl_output's global name, the same on every connection to the compositor. Each output has its
// own backing scale (mode pixels per logical point, fractional included).
//
// Every screens() call first waits for the compositor's answer to a round trip, so that an output
// added or removed shows in the next comparison even when its events are still on their way; a
// compositor that does not answer in time leaves the outputs as they were last announced.
// Display bounds come from the list the latest screens() call read. Loop thread only.
#pragma once

#include "platform/screens.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::wayland {

class WaylandScreens final : public platform::Screens {
 public:
  explicit WaylandScreens(WaylandConnection& connection) : connection_(connection) {}

  std::vector<platform::ScreenInfo> screens() override;
  std::optional<Rect> displayBounds(std::uint32_t displayID) override;
  // The layout the latest screens() call read.
  const OutputLayout& layout() const { return layout_; }

 private:
  WaylandConnection& connection_;
  OutputLayout layout_;
};

}  // namespace orvel::wayland
