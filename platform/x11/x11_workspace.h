// The Workspace port on X11: running applications from /proc (see application_identity.h), the
// frontmost application from _NET_ACTIVE_WINDOW (else the top-level of the input focus), and
// activation through the window manager's _NET_ACTIVE_WINDOW request (else raise and focus).
// Main thread only.
#pragma once

#include <xcb/xcb.h>

#include "platform/workspace.h"
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
  std::optional<std::int32_t> pidOfWindow(xcb_window_t window);
  X11Connection& connection_;
};

}  // namespace orvel::x11
