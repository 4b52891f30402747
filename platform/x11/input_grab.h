// The pointer and keyboard grabs of a selection overlay. Another client may hold a grab for a
// moment (a hotkey daemon right after the hotkey), so a refused grab is tried again every
// kGrabRetryInterval for up to kGrabRetryAttempts times; the overlay works without the grab
// meanwhile. Grabs end on release() and on destruction (and the server ends them when the
// connection closes). Loop thread only.
#pragma once

#include <xcb/xcb.h>

#include <chrono>

#include "orvel/common/event_loop.h"
#include "platform/x11/x11_connection.h"

namespace orvel::x11 {

inline constexpr auto kGrabRetryInterval = std::chrono::milliseconds(20);
inline constexpr int kGrabRetryAttempts = 50;

class InputGrab {
 public:
  InputGrab(EventLoop& loop, X11Connection& connection) : loop_(loop), connection_(connection) {}
  ~InputGrab() { release(); }
  InputGrab(const InputGrab&) = delete;
  InputGrab& operator=(const InputGrab&) = delete;

  // Grabs both devices for `window` (events go to our windows as usual, the rest to `window`).
  void acquire(xcb_window_t window, xcb_cursor_t cursor);
  void release();
  void setCursor(xcb_cursor_t cursor);
  bool pointerHeld() const { return pointer_; }
  bool keyboardHeld() const { return keyboard_; }

 private:
  void attempt();

  EventLoop& loop_;
  X11Connection& connection_;
  xcb_window_t window_ = 0;
  xcb_cursor_t cursor_ = 0;
  bool pointer_ = false;
  bool keyboard_ = false;
  int attempts_ = 0;
  EventLoop::TimerId retry_ = 0;
};

}  // namespace orvel::x11
