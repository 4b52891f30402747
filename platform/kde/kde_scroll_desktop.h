// The KDE Plasma ports of the scroll-capture helper: the outputs, the live selection overlay and
// the input shield of the wlroots backend (KWin offers layer shell to every client), the window
// list, focus and activation from a KWin script (kwin_window_list.h) on a session-bus connection
// driven by `loop`, frames through KWin's screenshot service (CaptureArea of the region), and wheel
// steps through KWin's fake input. Usable under the same conditions as the region desktop
// (kwin_session.h). A helper KWin refuses pictures or fake input opens all the same: "select"
// answers with what to install.
//
// Window shapes: KWin's script reports rectangles only, so no window has a content shape.
#pragma once

#include <memory>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/dbus/dbus_connection.h"
#include "platform/kde/kde_permissions.h"
#include "platform/kde/kwin_screen_capture.h"
#include "platform/kde/kwin_window_list.h"
#include "platform/null_desktop.h"
#include "platform/scroll_desktop.h"
#include "platform/wayland/reported_window_server.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_event_pump.h"
#include "platform/wayland/wayland_input_shield.h"
#include "platform/wayland/wayland_overlay.h"
#include "platform/wayland/wayland_screens.h"

namespace orvel::kde {

class KdeScrollDesktop final : public platform::ScrollDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY; the session bus from $DBUS_SESSION_BUS_ADDRESS.
  explicit KdeScrollDesktop(EventLoop& loop, const char* display = nullptr);
  ~KdeScrollDesktop() override;
  KdeScrollDesktop(const KdeScrollDesktop&) = delete;
  KdeScrollDesktop& operator=(const KdeScrollDesktop&) = delete;

  bool usable() const { return usable_; }
  const std::string& whyNot() const { return whyNot_; }
  // Valid only when usable.
  platform::Screens& screens() override { return *screens_; }
  platform::Permissions& permissions() override { return *permissions_; }
  platform::KeyState& keys() override { return *keys_; }
  platform::WindowServer& windowServer() override { return *windowServer_; }
  platform::Workspace& workspace() override { return *workspace_; }
  platform::WindowShapes& windowShapes() override { return none_.windowShapes(); }
  platform::ScreenCapture& capture() override { return *capture_; }
  platform::Overlay& overlay() override { return *overlay_; }
  platform::ScrollEvents& scrollEvents() override { return *scrollEvents_; }
  void onDisplayLost(Listener listener) override { pump_->onConnectionLost(std::move(listener)); }
  void onInputTaken(Listener) override {}
  KWinWindowList& windowList() { return *windowList_; }

 private:
  Task<> startWindowList(std::string scriptTemplate);

  platform::NullDesktop none_;
  bool usable_ = false;
  std::string whyNot_;
  std::unique_ptr<wayland::WaylandConnection> connection_;
  std::unique_ptr<KWinScreenCapture> capture_;
  std::unique_ptr<dbus::DbusConnection> bus_;
  std::unique_ptr<KWinWindowList> windowList_;
  std::unique_ptr<wayland::WaylandEventPump> pump_;
  std::unique_ptr<wayland::WaylandScreens> screens_;
  std::unique_ptr<KdePermissions> permissions_;
  std::unique_ptr<platform::KeyState> keys_;
  std::unique_ptr<wayland::ReportedWindowServer> windowServer_;
  std::unique_ptr<platform::Workspace> workspace_;
  std::unique_ptr<wayland::WaylandInputShield> shield_;
  std::unique_ptr<wayland::WaylandOverlay> overlay_;
  std::unique_ptr<platform::ScrollEvents> scrollEvents_;
};

}  // namespace orvel::kde
