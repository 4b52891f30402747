// The Wayland ports of the scroll-capture helper on sway, over one main connection whose events
// are handled on `loop`: outputs read afresh at every screen-list call, frames on a connection of
// their own, the selection overlay on layer surfaces (which reads the pointer and keys itself),
// and the window list from sway's IPC. Usable only when the compositor offers layer surfaces,
// screencopy, a seat and wl_shm. When sway's IPC does not answer, "select" fails with a reply
// naming it (sway_window_server.h).
//
// Window shapes: Wayland has none to read, and sway's IPC does not list layer-shell surfaces
// (bars, docks, notifications), so no window has a content shape and the target check judges
// every view by its frame.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "orvel/common/event_loop.h"
#include "platform/key_state.h"
#include "platform/null_desktop.h"
#include "platform/scroll_desktop.h"
#include "platform/scroll_events.h"
#include "platform/wayland/sway_window_list.h"
#include "platform/wayland/sway_window_server.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_event_pump.h"
#include "platform/wayland/wayland_frame_capture.h"
#include "platform/wayland/wayland_input_shield.h"
#include "platform/wayland/wayland_overlay.h"
#include "platform/wayland/wayland_permissions.h"
#include "platform/wayland/wayland_screens.h"
#include "platform/window_shapes.h"
#include "platform/workspace.h"

namespace orvel::wayland {

class WaylandScrollDesktop final : public platform::ScrollDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY; `swaySocket` null: $SWAYSOCK.
  explicit WaylandScrollDesktop(EventLoop& loop, const char* display = nullptr,
                                const char* swaySocket = nullptr);
  ~WaylandScrollDesktop() override;
  WaylandScrollDesktop(const WaylandScrollDesktop&) = delete;
  WaylandScrollDesktop& operator=(const WaylandScrollDesktop&) = delete;

  // Whether a compositor answered and offers everything the helper needs.
  bool usable() const { return usable_; }
  // Why not, for the log.
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
  SwayWindowList& windowList() { return *windowList_; }

 private:
  platform::NullDesktop none_;
  bool usable_ = false;
  std::string whyNot_;
  std::unique_ptr<WaylandConnection> connection_;
  std::unique_ptr<SwayWindowList> windowList_;
  std::unique_ptr<WaylandEventPump> pump_;
  std::unique_ptr<WaylandScreens> screens_;
  std::unique_ptr<WaylandPermissions> permissions_;
  std::unique_ptr<platform::KeyState> keys_;
  std::unique_ptr<SwayWindowServer> windowServer_;
  std::unique_ptr<platform::Workspace> workspace_;
  std::unique_ptr<WaylandFrameCapture> capture_;
  std::unique_ptr<WaylandInputShield> shield_;
  std::unique_ptr<WaylandOverlay> overlay_;
  std::unique_ptr<platform::ScrollEvents> scrollEvents_;
};

}  // namespace orvel::wayland
