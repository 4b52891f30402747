#include "platform/null_desktop.h"

#include "platform/window_levels.h"

namespace orvel::platform {

namespace {

class NoScreens final : public Screens {
 public:
  std::vector<ScreenInfo> screens() override { return {}; }
  std::optional<Rect> displayBounds(std::uint32_t) override { return std::nullopt; }
};

// Nothing can be captured, posted or intercepted. Linux asks no consent for reading other
// windows, so accessibility is never what is missing.
class NoPermissions final : public Permissions {
 public:
  bool screenCaptureAllowed() override { return false; }
  bool postEventAllowed() override { return false; }
  bool accessibilityTrusted() override { return true; }
};

class NoKeys final : public KeyState {
 public:
  bool isKeyDown(std::uint16_t) override { return false; }
};

class NoWindows final : public WindowServer {
 public:
  Json onScreenWindows() override { return Json(); }
  std::int64_t cursorLevel() override { return kCursorWindowLevel; }
  std::int64_t dockLevel() override { return kDockWindowLevel; }
};

class NoWorkspace final : public Workspace {
 public:
  std::optional<RunningApplication> application(std::int32_t) override { return std::nullopt; }
  std::vector<std::int32_t> pidsWithBundleID(const std::string&) override { return {}; }
  void activate(std::int32_t, std::uint32_t) override {}
  std::optional<std::int32_t> frontmostPID() override { return std::nullopt; }
};

class NoShapes final : public WindowShapes {
 public:
  std::optional<std::vector<Rect>> contentShape(std::uint32_t) override { return std::nullopt; }
};

class NoCapture final : public ScreenCapture {
 public:
  Expected<ShareableContent, PlatformError> shareableContent(bool, bool) override {
    return unexpected(PlatformError{kNoDesktopMessage});
  }
  Expected<Image, PlatformError> captureImage(const ContentFilter&,
                                              const CaptureConfiguration&) override {
    return unexpected(PlatformError{kNoDesktopMessage});
  }
};

class NoPanel final : public OverlayPanel {
 public:
  explicit NoPanel(const PanelOptions& o) : frame_(o.frame) {}
  void show(bool) override {}
  void close() override {}
  Rect frame() const override { return frame_; }
  Point convertToScreen(Point p) const override { return {p.x + frame_.x, p.y + frame_.y}; }
  Rect convertFromScreen(const Rect& r) const override { return r.offsetBy(-frame_.x, -frame_.y); }

 private:
  Rect frame_;
};

class NoOverlay final : public Overlay {
 public:
  std::unique_ptr<OverlayPanel> createPanel(const PanelOptions& o, OverlayView&) override {
    return std::make_unique<NoPanel>(o);
  }
  void pushCursor(CursorKind) override {}
  void popCursor() override {}
  void setCursor(CursorKind) override {}
};

class NoScrollEvents final : public ScrollEvents {
 public:
  bool openSource() override { return false; }
  void closeSource() override {}
  std::optional<ScrollWheelEvent> createScrollWheelEvent(ScrollUnit, std::int32_t, std::int32_t,
                                                         std::int32_t, std::int32_t) override {
    return std::nullopt;
  }
  void post(const ScrollWheelEvent&) override {}
};

class NoShield final : public InputShield {
 public:
  bool install(std::uint64_t, Handler) override { return false; }
  void setEnabled(bool) override {}
};

}  // namespace

struct NullDesktop::Ports {
  NoScreens screens;
  NoPermissions permissions;
  NoKeys keys;
  NoWindows windows;
  NoWorkspace workspace;
  NoShapes shapes;
  NoCapture capture;
  NoOverlay overlay;
  NoScrollEvents scrollEvents;
  NoShield shield;
};

NullDesktop::NullDesktop() : ports_(std::make_unique<Ports>()) {}
NullDesktop::~NullDesktop() = default;

Screens& NullDesktop::screens() {
  return ports_->screens;
}
Permissions& NullDesktop::permissions() {
  return ports_->permissions;
}
KeyState& NullDesktop::keys() {
  return ports_->keys;
}
WindowServer& NullDesktop::windowServer() {
  return ports_->windows;
}
Workspace& NullDesktop::workspace() {
  return ports_->workspace;
}
WindowShapes& NullDesktop::windowShapes() {
  return ports_->shapes;
}
ScreenCapture& NullDesktop::capture() {
  return ports_->capture;
}
Overlay& NullDesktop::overlay() {
  return ports_->overlay;
}
ScrollEvents& NullDesktop::scrollEvents() {
  return ports_->scrollEvents;
}
InputShield& NullDesktop::shield() {
  return ports_->shield;
}

}  // namespace orvel::platform
