// The parts of windows whose pictures the server does not hold yet: what other windows hid when
// the windows were redirected, until each window's client has drawn it again. Coordinates are
// window pixels, from the top-left pixel inside the border. No I/O.
#pragma once

#include <pixman.h>
#include <xcb/xcb.h>

#include <map>
#include <vector>

#include "platform/x11/monitor_layout.h"

namespace orvel::x11 {

class PendingRepaints {
 public:
  PendingRepaints() = default;
  PendingRepaints(const PendingRepaints&) = delete;
  PendingRepaints& operator=(const PendingRepaints&) = delete;
  ~PendingRepaints() { clear(); }

  // `window` owes the union of `parts`.
  void owe(xcb_window_t window, const std::vector<PixelRect>& parts);
  // The client drew `part` of `window`.
  void repainted(xcb_window_t window, const PixelRect& part);
  // Whether any owed part of `window` lies in `part`.
  bool owes(xcb_window_t window, const PixelRect& part) const;
  // What `window` still owes inside `part`.
  std::vector<PixelRect> owedWithin(xcb_window_t window, const PixelRect& part) const;
  bool empty() const { return owed_.empty(); }
  void clear();

 private:
  std::map<xcb_window_t, pixman_region32_t> owed_;
};

// For windows stacked bottom to top with their outer rectangles (root pixels) and borders, what
// of each, in its own pixels, lies under a window stacked above it. Windows without such parts
// are left out.
struct StackedWindow {
  xcb_window_t window = XCB_NONE;
  PixelRect outer;
  int border = 0;
};
std::map<xcb_window_t, std::vector<PixelRect>> hiddenParts(const std::vector<StackedWindow>& stack);

}  // namespace orvel::x11
