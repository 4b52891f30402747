// The GNOME Shell ports of the scroll-capture helper: the outputs, the live selection overlay (one
// fullscreen window per monitor, as the region helper's: GNOME offers no layer shell) and the input
// shield of every Wayland desktop; the window list, focus, stacking and activation from Orvel's
// GNOME Shell extension (gnome_window_list.h) on a session-bus connection driven by `loop`; frames
// through a RecordArea recording of the region (gnome_frame_capture.h) and wheel steps through a
// RemoteDesktop session (gnome_scroll_events.h), each opened when first needed. Usable when the
// compositor is mutter (mutter_compositor.h) and its ScreenCast and RemoteDesktop services answer.
// Without the extension it opens all the same: "select" says how to enable it.
//
// Window shapes: the extension reports rectangles only, so no window has a content shape.
#pragma once

#include <memory>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/gnome/gnome_frame_capture.h"
#include "platform/wayland/reported_scroll_desktop.h"

namespace orvel::gnome {

class GnomeScrollDesktop final : public wayland::ReportedScrollDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY; the session bus from $DBUS_SESSION_BUS_ADDRESS.
  // `activationToken`: the host's XDG_ACTIVATION_TOKEN, spent by the first overlay window shown.
  GnomeScrollDesktop(EventLoop& loop, const char* display, std::string activationToken);

  // Valid only when usable.
  platform::ScreenCapture& capture() override { return *capture_; }

 private:
  std::unique_ptr<GnomeFrameCapture> capture_;
};

}  // namespace orvel::gnome
