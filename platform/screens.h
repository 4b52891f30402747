// The displays of the desktop. Called on the loop thread.
//
// Two coordinate spaces, both in points: global display coordinates (origin at the top-left corner
// of the main display, y down; window frames, display bounds and event locations) and screen
// coordinates (origin at the bottom-left corner of the main display, y up; screen frames and the
// overlay's windows). The main display is the first screen of the list.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "orvel/common/geometry.h"

namespace orvel::platform {

struct ScreenInfo {
  Rect frame;                              // screen coordinates
  std::optional<std::uint32_t> displayID;  // absent when the system gives none
  double backingScale = 1.0;               // pixels per point
};

class Screens {
 public:
  virtual ~Screens() = default;
  // In system order, the main display first.
  virtual std::vector<ScreenInfo> screens() = 0;
  // Bounds of a display in global display coordinates; absent for an unknown display.
  virtual std::optional<Rect> displayBounds(std::uint32_t displayID) = 0;
};

}  // namespace orvel::platform
