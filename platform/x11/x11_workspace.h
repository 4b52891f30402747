// The Workspace port on X11: running applications from /proc (see application_identity.h), the
// frontmost application from _NET_ACTIVE_WINDOW (else the top-level of the input focus), and
// activation through the window manager's _NET_ACTIVE_WINDOW request (else raise and focus).
// Main thread only.
#pragma once

#include <xcb/xcb.h>

#include "platform/workspace.h"
#include "platform/x11/application_identity.h"
#include "platform/x11/x11_connection.h"

namespace orvel::x11 {

class X11Workspace final : public platform::Workspace {
 public:
  explicit X11Workspace(X11Connection& connection) : connection_(connection) {}

  std::optional<platform::RunningApplication> application(std::int32_t pid) override;
  std::vector<std::int32_t> pidsWithBundleID(const std::string& bundleID) override;
  void activate(std::int32_t pid) override;
  std::optional<std::int32_t> frontmostPID() override;

 private:
  // The owner of `window` or of its nearest ancestor that names one; `namedBy` gets the window
  // whose _NET_WM_PID answered (none when X-Resource did).
  std::optional<std::int32_t> pidOfWindow(xcb_window_t window, xcb_window_t* namedBy);
  X11Connection& connection_;
  ProcessIdentities processes_;
  // The last active window and its owner, asked again alongside _NET_ACTIVE_WINDOW so that an
  // unchanged answer costs one round trip.
  xcb_window_t lastActive_ = XCB_NONE;
};

}  // namespace orvel::x11
