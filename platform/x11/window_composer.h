// Builds the picture of a root area from the windows' own contents (Composite + Render), leaving
// some top-level windows out: what the screen would show if they were not there. Needs the root's
// subwindows redirected (redirect()) for as long as such pictures are wanted, and no longer: while
// redirected the server keeps a copy of every window. Automatic redirection keeps the screen
// looking the same.
//
// Right after the redirect, what other windows hid of a window has no picture until the window's
// client draws it again (the server sends it an Expose); the Damage extension tells when it has.
#pragma once

#include <xcb/render.h>
#include <xcb/xcb.h>

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "platform/x11/monitor_layout.h"
#include "platform/x11/pending_repaints.h"
#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

class WindowComposer {
 public:
  // `repaintBudget`: how long after a redirect a picture waits for clients that have not drawn
  // what was hidden; after it, what the server holds is taken as it is.
  WindowComposer(X11Connection& connection, std::chrono::milliseconds repaintBudget)
      : connection_(connection), repaintBudget_(repaintBudget) {}
  bool available() const;
  // Redirects the root's subwindows and notes what each window's client owes. False when the
  // server refuses.
  bool redirect();
  // Undoes redirect(): the server drops its copies of the windows.
  void unredirect();
  bool redirected() const { return redirected_; }
  // An event of the connection; damage reports settle what clients owed, others are ignored.
  void noteEvent(const xcb_generic_event_t* event);
  // A pixmap of the root's depth holding `area` (root coordinates) without the top-level windows
  // in `leftOut`, once the windows in it have drawn what they owe; what is still owed when the
  // budget is spent is black. Nothing on failure or when not redirected.
  std::optional<XPixmap> compose(const PixelRect& area, const std::set<xcb_window_t>& leftOut);
  // The root's child that holds `window` (itself when it is one), or nothing.
  std::optional<xcb_window_t> topLevelOf(xcb_window_t window);

 private:
  struct Layer {
    xcb_window_t window;
    xcb_visualid_t visual;
    std::uint8_t depth;
    PixelRect outer;
    int border;
  };
  bool loadFormats();
  // The root's mapped InputOutput children, bottom to top as the tree lists them; nothing when
  // the tree cannot be read.
  std::optional<std::vector<Layer>> shownTopLevels();
  void watchRepaints();
  // Waits for the damage reports of what `layers` owe inside `area`, until the budget is spent.
  void awaitRepaints(const std::vector<Layer>& layers, const PixelRect& area);
  bool owing(const std::vector<Layer>& layers, const PixelRect& area) const;

  X11Connection& connection_;
  const std::chrono::milliseconds repaintBudget_;
  bool redirected_ = false;
  std::chrono::steady_clock::time_point redirectedAt_;
  std::vector<XDamage> damages_;
  PendingRepaints pending_;
  bool formatsLoaded_ = false;
  std::map<xcb_visualid_t, xcb_render_pictformat_t> visualFormats_;
};

}  // namespace orvel::x11
