// The KDE Plasma ports of the scroll-capture helper: the outputs, the live selection overlay and
// the input shield of every layer-shell desktop (KWin offers layer shell to every client), the
// window list, focus and activation from a KWin script (kwin_window_list.h) on a session-bus
// connection driven by `loop`, frames through KWin's screenshot service (CaptureArea of the
// region), and wheel steps through KWin's fake input. Usable under the same conditions as the
// region desktop (kwin_session.h). A helper KWin refuses pictures or fake input opens all the same:
// "select" answers with what to install.
//
// Window shapes: KWin's script reports rectangles only, so no window has a content shape.
#pragma once

#include <memory>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/kde/kwin_screen_capture.h"
#include "platform/wayland/reported_scroll_desktop.h"

namespace orvel::kde {

class KdeScrollDesktop final : public wayland::ReportedScrollDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY; the session bus from $DBUS_SESSION_BUS_ADDRESS.
  explicit KdeScrollDesktop(EventLoop& loop, const char* display = nullptr);

  // Valid only when usable.
  platform::ScreenCapture& capture() override { return *capture_; }

 private:
  std::unique_ptr<KWinScreenCapture> capture_;
};

}  // namespace orvel::kde
