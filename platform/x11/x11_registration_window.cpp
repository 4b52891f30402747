#include "platform/x11/x11_registration_window.h"

#include <unistd.h>

namespace orvel::x11 {

namespace {
constexpr std::int16_t kOffScreen = -10000;
}  // namespace

X11RegistrationWindow::X11RegistrationWindow(X11Connection& connection) {
  if (!connection.ok()) return;
  xcb_connection_t* c = connection.get();
  const xcb_window_t window = connection.generateId();
  // Override-redirect: no window manager moves it into view or gives it a frame.
  const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 1};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, connection.root(), kOffScreen, kOffScreen, 1,
                    1, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT, XCB_COPY_FROM_PARENT,
                    XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT, values);
  window_ = XWindow(c, window);
  const auto pid = static_cast<std::uint32_t>(::getpid());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, connection.atoms().netWmPid,
                      XCB_ATOM_CARDINAL, 32, 1, &pid);
  xcb_map_window(c, window);
  connection.flush();
}

}  // namespace orvel::x11
