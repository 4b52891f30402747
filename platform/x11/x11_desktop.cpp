#include "platform/x11/x11_desktop.h"

#include <poll.h>
#include <xcb/randr.h>

#include "platform/x11/window_list_cache.h"
#include "platform/x11/x11_event_pump.h"
#include "platform/x11/x11_key_state.h"
#include "platform/x11/x11_overlay.h"
#include "platform/x11/x11_screen_capture.h"
#include "platform/x11/x11_screens.h"
#include "platform/x11/x11_scroll_events.h"
#include "platform/x11/x11_window_server.h"
#include "platform/x11/x11_window_shapes.h"
#include "platform/x11/x11_workspace.h"

namespace orvel::x11 {

namespace {

class NoScreens final : public platform::Screens {
 public:
  std::vector<platform::ScreenInfo> screens() override { return {}; }
  std::optional<Rect> displayBounds(std::uint32_t) override { return std::nullopt; }
};
class NoKeys final : public platform::KeyState {
 public:
  bool isKeyDown(std::uint16_t) override { return false; }
};
class NoWindows final : public platform::WindowServer {
 public:
  Json onScreenWindows() override { return Json(); }
  std::int64_t cursorLevel() override { return kCursorLevel; }
  std::int64_t dockLevel() override { return kDockLevel; }
};
class NoShapes final : public platform::WindowShapes {
 public:
  std::optional<std::vector<Rect>> contentShape(std::uint32_t) override { return std::nullopt; }
};
class NoWorkspace final : public platform::Workspace {
 public:
  std::optional<platform::RunningApplication> application(std::int32_t) override {
    return std::nullopt;
  }
  std::vector<std::int32_t> pidsWithBundleID(const std::string&) override { return {}; }
  void activate(std::int32_t, std::uint32_t) override {}
  std::optional<std::int32_t> frontmostPID() override { return std::nullopt; }
};
class NoCapture final : public platform::ScreenCapture {
 public:
  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(bool,
                                                                                 bool) override {
    return unexpected(platform::PlatformError{"The X display is not reachable."});
  }
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter&, const platform::CaptureConfiguration&) override {
    return unexpected(platform::PlatformError{"The X display is not reachable."});
  }
};
class NoPanel final : public platform::OverlayPanel {
 public:
  explicit NoPanel(const platform::PanelOptions& o) : frame_(o.frame) {}
  void show(bool) override {}
  void close() override {}
  void setNeedsDisplay() override {}
  Rect frame() const override { return frame_; }
  Point convertToScreen(Point p) const override { return {p.x + frame_.x, p.y + frame_.y}; }
  Rect convertFromScreen(const Rect& r) const override { return r.offsetBy(-frame_.x, -frame_.y); }

 private:
  Rect frame_;
};
class NoOverlay final : public platform::Overlay {
 public:
  std::unique_ptr<platform::OverlayPanel> createPanel(const platform::PanelOptions& o,
                                                      platform::OverlayView&) override {
    return std::make_unique<NoPanel>(o);
  }
  void pushCursor(platform::CursorKind) override {}
  void popCursor() override {}
  void setCursor(platform::CursorKind) override {}
};
class NoScrollEvents final : public platform::ScrollEvents {
 public:
  bool openSource() override { return false; }
  void closeSource() override {}
  std::optional<platform::ScrollWheelEvent> createScrollWheelEvent(platform::ScrollUnit,
                                                                   std::int32_t, std::int32_t,
                                                                   std::int32_t,
                                                                   std::int32_t) override {
    return std::nullopt;
  }
  void post(const platform::ScrollWheelEvent&) override {}
};

}  // namespace

X11Desktop::X11Desktop(EventLoop& loop, const char* display)
    : loop_(loop), connection_(X11Connection::open(display)), permissions_(connection_.get()) {
  if (!connection_) {
    screens_ = std::make_unique<NoScreens>();
    keys_ = std::make_unique<NoKeys>();
    windowServer_ = std::make_unique<NoWindows>();
    windowShapes_ = std::make_unique<NoShapes>();
    workspace_ = std::make_unique<NoWorkspace>();
    capture_ = std::make_unique<NoCapture>();
    overlay_ = std::make_unique<NoOverlay>();
    scrollEvents_ = std::make_unique<NoScrollEvents>();
    return;
  }
  pump_ = std::make_unique<X11EventPump>(loop, *connection_);
  auto screens = std::make_unique<X11Screens>(*connection_);
  X11Screens& s = *screens;
  invalidateOnMonitorChanges(*pump_, *connection_, s);
  keys_ = std::make_unique<X11KeyState>(*connection_);
  windowList_ = WindowListCache::open(display);
  if (windowList_) {
    windowListWatch_ = loop.watch(windowList_->fd(), POLLIN, [this](short) {
      windowList_->drainEvents();
      // A hung-up socket stays readable for ever: watching it further would spin the loop.
      if (!windowList_->ok()) {
        loop_.unwatch(windowListWatch_);
        windowListWatch_ = 0;
      }
    });
  }
  windowServer_ = std::make_unique<X11WindowServer>(*connection_, s, windowList_.get());
  windowShapes_ = std::make_unique<X11WindowShapes>(*connection_, s);
  workspace_ = std::make_unique<X11Workspace>(*connection_);
  capture_ = std::make_unique<X11ScreenCapture>(display, windowList_.get());
  auto overlay = std::make_unique<X11Overlay>(loop, *connection_, s, *pump_);
  x11Overlay_ = overlay.get();
  overlay_ = std::move(overlay);
  scrollEvents_ = std::make_unique<X11ScrollEvents>(*connection_, s);
  screens_ = std::move(screens);
  xcb_flush(connection_->get());
}

std::uint64_t X11Desktop::roundTrips() const {
  if (!connection_) return 0;
  return connection_->roundTrips() + (windowList_ ? windowList_->roundTrips() : 0);
}

X11Desktop::~X11Desktop() {
  // The overlay and the pump refer to the connection: they go first.
  overlay_.reset();
  scrollEvents_.reset();
  pump_.reset();
  windowServer_.reset();
  capture_.reset();
  if (windowListWatch_) loop_.unwatch(windowListWatch_);
}

}  // namespace orvel::x11
