// Builds the picture of a root area from the windows' own contents (Composite + Render), leaving
// some top-level windows out: what the screen would show if they were not there. Needs the root's
// subwindows redirected (redirectOnce()); automatic redirection keeps the screen looking the same.
#pragma once

#include <xcb/render.h>
#include <xcb/xcb.h>

#include <map>
#include <optional>
#include <set>

#include "platform/x11/monitor_layout.h"
#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

class WindowComposer {
 public:
  explicit WindowComposer(X11Connection& connection) : connection_(connection) {}
  bool available() const;
  // Redirects the root's subwindows, once per connection. False when the server refuses.
  bool redirectOnce();
  // A pixmap of the root's depth holding `area` (root coordinates) without the top-level windows
  // in `leftOut`; nothing on failure.
  std::optional<XPixmap> compose(const PixelRect& area, const std::set<xcb_window_t>& leftOut);
  // The root's child that holds `window` (itself when it is one), or nothing.
  std::optional<xcb_window_t> topLevelOf(xcb_window_t window);

 private:
  bool loadFormats();
  X11Connection& connection_;
  bool redirected_ = false;
  bool formatsLoaded_ = false;
  std::map<xcb_visualid_t, xcb_render_pictformat_t> visualFormats_;
};

}  // namespace orvel::x11
