// The Screens port on X11: one screen per RandR monitor, the main monitor first. Frames are in
// screen coordinates (points, origin at the main monitor's bottom-left corner, y up), display
// bounds in global display coordinates; a display's id is its monitor's name atom.
//
// Main thread only. The layout is read once and again after each RandR change notice (see
// invalidate()), so a display change shows in the next call.
#pragma once

#include <optional>

#include "platform/screens.h"
#include "platform/x11/monitor_layout.h"

namespace orvel::x11 {

class X11Screens final : public platform::Screens {
 public:
  explicit X11Screens(X11Connection& connection);

  std::vector<platform::ScreenInfo> screens() override;
  std::optional<Rect> displayBounds(std::uint32_t displayID) override;

  const MonitorLayout& layout();
  // The monitors changed: read them again on the next call.
  void invalidate() { layout_.reset(); }

 private:
  X11Connection& connection_;
  std::optional<MonitorLayout> layout_;
};

class X11EventPump;

// Makes `screens` read the monitors again whenever RandR reports a change on `pump`'s connection.
void invalidateOnMonitorChanges(X11EventPump& pump, X11Connection& connection, X11Screens& screens);

}  // namespace orvel::x11
