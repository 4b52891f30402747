// A 1x1 window far off screen, mapped for the helper's lifetime and marked with its process id, so
// that the helper is listed among the applications on the desktop from the start: its capture
// filters leave the helper's own windows out by that entry.
#pragma once

#include "platform/x11/x11_connection.h"
#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

class X11RegistrationWindow {
 public:
  explicit X11RegistrationWindow(X11Connection& connection);
  xcb_window_t window() const { return window_.id(); }

 private:
  XWindow window_;
};

}  // namespace orvel::x11
