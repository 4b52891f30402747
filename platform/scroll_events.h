// Synthetic scroll-wheel events, posted into the session's input stream. Called on the loop
// thread.
#pragma once

#include <cstdint>
#include <optional>

#include "orvel/common/geometry.h"

namespace orvel::platform {

enum class ScrollUnit { pixel = 0, line = 1 };

struct ScrollWheelEvent {
  ScrollUnit unit = ScrollUnit::pixel;
  std::int32_t wheelCount = 1;
  std::int32_t delta1 = 0;  // vertical; negative scrolls the content up (towards its end)
  std::int32_t delta2 = 0;
  std::int32_t delta3 = 0;
  Point location;  // global display coordinates
  std::uint64_t flags = 0;
  std::int64_t sourceUserData = 0;
  std::int64_t scrollPhase = 0;
  std::int64_t momentumPhase = 0;
  friend bool operator==(const ScrollWheelEvent&, const ScrollWheelEvent&) = default;
};

// An event with these values and every other field at its default.
inline ScrollWheelEvent scrollWheelEvent(ScrollUnit unit, std::int32_t wheelCount,
                                         std::int32_t delta1, std::int32_t delta2,
                                         std::int32_t delta3) {
  ScrollWheelEvent e;
  e.unit = unit;
  e.wheelCount = wheelCount;
  e.delta1 = delta1;
  e.delta2 = delta2;
  e.delta3 = delta3;
  return e;
}

class ScrollEvents {
 public:
  virtual ~ScrollEvents() = default;
  // An event source in the hardware state; false when none can be made.
  virtual bool openSource() = 0;
  virtual void closeSource() = 0;
  // A new event from the open source, or nothing when it cannot be made.
  virtual std::optional<ScrollWheelEvent> createScrollWheelEvent(ScrollUnit unit,
                                                                 std::int32_t wheelCount,
                                                                 std::int32_t delta1,
                                                                 std::int32_t delta2,
                                                                 std::int32_t delta3) = 0;
  virtual void post(const ScrollWheelEvent& event) = 0;
  // Whether a scroll by a distance is made click by click, each click's move measured on the
  // region's frames: where the wheel only clicks (X11), and where applications read wheel values
  // in units of their own rather than as the pixels sent (Wayland).
  virtual bool measuresClicks() const { return false; }
  // Leaves the pointer at `place` (global display coordinates) on desktops whose posted events
  // leave it where they were aimed, as they cannot put it back where the user had it; desktops
  // that put it back do nothing.
  virtual void restPointer(Point /*place*/) {}
};

}  // namespace orvel::platform
