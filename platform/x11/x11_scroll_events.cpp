#include "platform/x11/x11_scroll_events.h"

#include <xcb/xtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

namespace {
constexpr std::uint8_t kWheelUp = 4;
constexpr std::uint8_t kWheelDown = 5;
// Bounds one event's burst of clicks: a huge delta must not flood the server.
constexpr int kMaxClicksPerEvent = 100;
}  // namespace

bool X11ScrollEvents::openSource() {
  return setSourceOpen(connection_.ok() && connection_.extensions().xtest);
}

int X11ScrollEvents::clicksFor(const platform::ScrollWheelEvent& event) {
  // Negative deltas scroll towards the content's end: clicks of the down button.
  const double towardsEnd = -static_cast<double>(event.delta1);
  if (event.unit == platform::ScrollUnit::line) {
    return static_cast<int>(
        std::clamp(towardsEnd, -double(kMaxClicksPerEvent), double(kMaxClicksPerEvent)));
  }
  if (towardsEnd * carried_ < 0) carried_ = 0;  // the direction changed: drop the old rest
  carried_ += towardsEnd;
  const double clicks = std::trunc(carried_ / kPointsPerWheelClick);
  carried_ -= clicks * kPointsPerWheelClick;
  return static_cast<int>(
      std::clamp(clicks, -double(kMaxClicksPerEvent), double(kMaxClicksPerEvent)));
}

void X11ScrollEvents::post(const platform::ScrollWheelEvent& event) {
  if (!connection_.ok() || !connection_.extensions().xtest) return;
  const int clicks = clicksFor(event);
  if (clicks == 0) return;
  xcb_connection_t* c = connection_.get();
  const xcb_window_t root = connection_.root();
  const Reply<xcb_query_pointer_reply> pointer(connection_, xcb_query_pointer(c, root));
  const Point at = screens_.layout().toRoot(event.location);
  auto move = [&](double x, double y) {
    xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, root,
                        static_cast<std::int16_t>(std::lround(x)),
                        static_cast<std::int16_t>(std::lround(y)), 0);
  };
  move(at.x, at.y);
  const std::uint8_t button = clicks > 0 ? kWheelDown : kWheelUp;
  for (int i = 0; i < std::abs(clicks); ++i) {
    xcb_test_fake_input(c, XCB_BUTTON_PRESS, button, XCB_CURRENT_TIME, root, 0, 0, 0);
    xcb_test_fake_input(c, XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, root, 0, 0, 0);
  }
  if (pointer) move(pointer->root_x, pointer->root_y);
  // A round trip: once posted, the clicks have reached the window, as a posted event has.
  connection_.sync();
}

}  // namespace orvel::x11
