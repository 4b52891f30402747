// Every X11 port of the scroll-capture helper over one main connection, whose events are handled
// on `loop`. Not connected when no display answers; its ports are then not to be used.
#pragma once

#include <cstdint>
#include <memory>

#include "orvel/common/event_loop.h"
#include "platform/key_state.h"
#include "platform/overlay.h"
#include "platform/permissions.h"
#include "platform/screen_capture.h"
#include "platform/screens.h"
#include "platform/scroll_desktop.h"
#include "platform/scroll_events.h"
#include "platform/window_server.h"
#include "platform/window_shapes.h"
#include "platform/workspace.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_permissions.h"

namespace orvel::x11 {

class X11EventPump;
class X11Overlay;
class WindowListCache;

class X11Desktop final : public platform::ScrollDesktop {
 public:
  // `display` null: $DISPLAY.
  X11Desktop(EventLoop& loop, const char* display = nullptr);
  ~X11Desktop() override;

  bool connected() const { return connection_ != nullptr; }
  X11Connection* connection() { return connection_.get(); }
  // Round trips of the loop thread's ports: the main connection's and the window list's.
  std::uint64_t roundTrips() const;

  platform::Screens& screens() override { return *screens_; }
  platform::Permissions& permissions() override { return permissions_; }
  platform::KeyState& keys() override { return *keys_; }
  platform::WindowServer& windowServer() override { return *windowServer_; }
  platform::Workspace& workspace() override { return *workspace_; }
  platform::WindowShapes& windowShapes() override { return *windowShapes_; }
  platform::ScreenCapture& capture() override { return *capture_; }
  platform::Overlay& overlay() override { return *overlay_; }
  platform::ScrollEvents& scrollEvents() override { return *scrollEvents_; }
  // Display lost: the main connection failed. Nothing takes the input away from the scroll helper.
  void onDisplayLost(Listener listener) override;
  void onInputTaken(Listener) override {}
  // Null when not connected.
  X11Overlay* x11Overlay() { return x11Overlay_; }

 private:
  EventLoop& loop_;
  std::unique_ptr<X11Connection> connection_;
  // Shared by the window server (loop thread) and the capture (its own thread); both go first.
  std::unique_ptr<WindowListCache> windowList_;
  EventLoop::WatchId windowListWatch_ = 0;
  X11Permissions permissions_;
  std::unique_ptr<X11EventPump> pump_;
  std::unique_ptr<platform::Screens> screens_;
  std::unique_ptr<platform::KeyState> keys_;
  std::unique_ptr<platform::WindowServer> windowServer_;
  std::unique_ptr<platform::WindowShapes> windowShapes_;
  std::unique_ptr<platform::Workspace> workspace_;
  std::unique_ptr<platform::ScreenCapture> capture_;
  std::unique_ptr<platform::Overlay> overlay_;
  std::unique_ptr<platform::ScrollEvents> scrollEvents_;
  X11Overlay* x11Overlay_ = nullptr;
};

}  // namespace orvel::x11
