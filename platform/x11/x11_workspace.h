// The Workspace port on X11: running applications from /proc (see proc_workspace.h), the
// frontmost application and window from _NET_ACTIVE_WINDOW (else the input focus), and activation
// of a named window through the window manager's _NET_ACTIVE_WINDOW request (else raise and
// focus), stamped with the server's current time. Main thread only.
#pragma once

#include <xcb/xcb.h>

#include "platform/linux/proc_workspace.h"
#include "platform/x11/x11_connection.h"

namespace orvel::x11 {

class X11Workspace final : public procfs::ProcWorkspace {
 public:
  explicit X11Workspace(X11Connection& connection) : connection_(connection) {}

  void activate(std::int32_t pid, std::uint32_t windowID) override;
  std::optional<std::int32_t> frontmostPID() override;
  std::optional<std::uint32_t> frontmostWindow() override;

 private:
  // The server's current time (the SYNC extension's SERVERTIME counter), the clock of event
  // timestamps; CurrentTime without that extension.
  xcb_timestamp_t serverTime();
  // The owner of `window` or of its nearest ancestor that names one; `namedBy` gets the window
  // whose _NET_WM_PID answered (none when X-Resource did).
  std::optional<std::int32_t> pidOfWindow(xcb_window_t window, xcb_window_t* namedBy);
  X11Connection& connection_;
  // The last active window and its owner, asked again alongside _NET_ACTIVE_WINDOW so that an
  // unchanged answer costs one round trip.
  xcb_window_t lastActive_ = XCB_NONE;
  std::optional<std::uint32_t> serverTimeCounter_;
  bool serverTimeLooked_ = false;
};

}  // namespace orvel::x11
