// Reads the on-screen windows of the X desktop, front-most first, with the requests of each step
// sent together: the whole list costs a fixed number of round trips (three, four when some window
// has no _NET_WM_PID), whatever the number of windows.
//
// Order: override-redirect windows (menus, tooltips, overlays) in front, top-most first, then the
// window manager's _NET_CLIENT_LIST_STACKING reversed. Without an EWMH window manager the root's
// children in stacking order. Unmapped, iconic, hidden, input-only and desktop windows are left
// out.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/window_levels.h"
#include "platform/x11/monitor_layout.h"
#include "platform/x11/x11_connection.h"

namespace orvel::x11 {

// Window levels the X11 desktop maps its window kinds to.
inline constexpr std::int64_t kNormalLevel = platform::kNormalWindowLevel;
inline constexpr std::int64_t kAboveLevel = platform::kAboveWindowLevel;
inline constexpr std::int64_t kDockLevel = platform::kDockWindowLevel;
inline constexpr std::int64_t kNotificationLevel = platform::kNotificationWindowLevel;
inline constexpr std::int64_t kPopupLevel = platform::kPopupWindowLevel;
inline constexpr std::int64_t kCursorLevel = platform::kCursorWindowLevel;

struct WindowRecord {
  xcb_window_t id = 0;  // the client window (what the application created)
  std::optional<std::int32_t> pid;
  PixelRect frame;  // root coordinates, window manager decoration included
  std::int64_t level = kNormalLevel;
  double alpha = 1.0;
  std::optional<std::string> name;  // UTF-8
  bool overrideRedirect = false;
  friend bool operator==(const WindowRecord&, const WindowRecord&) = default;
};

// Whether a read also selects, on `connection`, the events that report a later change of what it
// read (see WindowListCache). The selection goes out ahead of each window's details, so no change
// falls between the two.
enum class WatchChanges { kNo, kYes };

std::vector<WindowRecord> readWindowList(X11Connection& connection,
                                         WatchChanges watch = WatchChanges::kNo);

// Whether an EWMH window manager runs: _NET_SUPPORTING_WM_CHECK names a live window that names
// itself. One round trip.
bool hasEwmhWindowManager(X11Connection& connection);

}  // namespace orvel::x11
