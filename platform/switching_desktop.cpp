#include "platform/switching_desktop.h"

#include <utility>

namespace orvel::platform {

namespace {

// The backend's port while its display is there, the null desktop's after.
template <class Port>
class Switched {
 public:
  Switched(Port& live, Port& none, const DisplaySwitch& display)
      : live_(live), none_(none), display_(display) {}

 protected:
  Port& now() const { return display_.lost() ? none_ : live_; }

 private:
  Port& live_;
  Port& none_;
  const DisplaySwitch& display_;
};

class SwitchedScreens final : public Screens, Switched<Screens> {
 public:
  using Switched::Switched;
  std::vector<ScreenInfo> screens() override { return now().screens(); }
  std::optional<Rect> displayBounds(std::uint32_t id) override { return now().displayBounds(id); }
};

class SwitchedPermissions final : public Permissions, Switched<Permissions> {
 public:
  using Switched::Switched;
  bool screenCaptureAllowed() override { return now().screenCaptureAllowed(); }
  bool postEventAllowed() override { return now().postEventAllowed(); }
  bool accessibilityTrusted() override { return now().accessibilityTrusted(); }
  std::optional<std::string> denialReply(PermissionReply reply) override {
    return now().denialReply(reply);
  }
};

class SwitchedKeys final : public KeyState, Switched<KeyState> {
 public:
  using Switched::Switched;
  bool isKeyDown(std::uint16_t key) override { return now().isKeyDown(key); }
};

class SwitchedWindows final : public WindowServer, Switched<WindowServer> {
 public:
  using Switched::Switched;
  Json onScreenWindows() override { return now().onScreenWindows(); }
  std::optional<std::string> whyUnreadable() override { return now().whyUnreadable(); }
  std::int64_t cursorLevel() override { return now().cursorLevel(); }
  std::int64_t dockLevel() override { return now().dockLevel(); }
};

class SwitchedWorkspace final : public Workspace, Switched<Workspace> {
 public:
  using Switched::Switched;
  std::optional<RunningApplication> application(std::int32_t pid) override {
    return now().application(pid);
  }
  std::vector<std::int32_t> pidsWithBundleID(const std::string& id) override {
    return now().pidsWithBundleID(id);
  }
  void activate(std::int32_t pid, std::uint32_t window) override { now().activate(pid, window); }
  std::optional<std::int32_t> frontmostPID() override { return now().frontmostPID(); }
  std::optional<std::uint32_t> frontmostWindow() override { return now().frontmostWindow(); }
  std::chrono::milliseconds activationBound() override { return now().activationBound(); }
};

class SwitchedShapes final : public WindowShapes, Switched<WindowShapes> {
 public:
  using Switched::Switched;
  std::optional<std::vector<Rect>> contentShape(std::uint32_t id) override {
    return now().contentShape(id);
  }
};

class SwitchedCapture final : public ScreenCapture, Switched<ScreenCapture> {
 public:
  using Switched::Switched;
  std::unique_ptr<ExclusionHold> holdExclusions() override { return now().holdExclusions(); }
  Expected<ShareableContent, PlatformError> shareableContent(bool excludeDesktop,
                                                             bool onScreenOnly) override {
    return now().shareableContent(excludeDesktop, onScreenOnly);
  }
  Expected<Image, PlatformError> captureImage(const ContentFilter& filter,
                                              const CaptureConfiguration& config) override {
    return now().captureImage(filter, config);
  }
};

class SwitchedOverlay final : public Overlay, Switched<Overlay> {
 public:
  using Switched::Switched;
  std::unique_ptr<OverlayPanel> createPanel(const PanelOptions& options,
                                            OverlayView& view) override {
    return now().createPanel(options, view);
  }
  void pushCursor(CursorKind cursor) override { now().pushCursor(cursor); }
  void popCursor() override { now().popCursor(); }
  void setCursor(CursorKind cursor) override { now().setCursor(cursor); }
};

class SwitchedScrollEvents final : public ScrollEvents, Switched<ScrollEvents> {
 public:
  using Switched::Switched;
  bool openSource() override { return now().openSource(); }
  void closeSource() override { now().closeSource(); }
  std::optional<ScrollWheelEvent> createScrollWheelEvent(ScrollUnit unit, std::int32_t count,
                                                         std::int32_t w1, std::int32_t w2,
                                                         std::int32_t w3) override {
    return now().createScrollWheelEvent(unit, count, w1, w2, w3);
  }
  void post(const ScrollWheelEvent& event) override { now().post(event); }
  bool measuresClicks() const override { return now().measuresClicks(); }
  void restPointer(Point place) override { now().restPointer(place); }
};

// A lost display took its grabs with it: nothing is left for the live shield to release.
class SwitchedShield final : public InputShield, Switched<InputShield> {
 public:
  using Switched::Switched;
  bool install(std::uint64_t mask, Handler handler) override {
    return now().install(mask, std::move(handler));
  }
  void setEnabled(bool enabled) override { now().setEnabled(enabled); }
};

}  // namespace

DisplaySwitch::DisplaySwitch(DesktopEvents& backend) {
  backend.onDisplayLost([this] {
    lost_.store(true, std::memory_order_release);
    for (auto& listener : listeners_)
      listener();
  });
}

struct SwitchingCaptureDesktop::Ports {
  Ports(CaptureDesktop& live, CaptureDesktop& none, const DisplaySwitch& p)
      : screens(live.screens(), none.screens(), p),
        permissions(live.permissions(), none.permissions(), p),
        capture(live.capture(), none.capture(), p),
        overlay(live.overlay(), none.overlay(), p) {}
  SwitchedScreens screens;
  SwitchedPermissions permissions;
  SwitchedCapture capture;
  SwitchedOverlay overlay;
};

SwitchingCaptureDesktop::SwitchingCaptureDesktop(std::unique_ptr<CaptureDesktop> backend)
    : backend_(std::move(backend)),
      switch_(*backend_),
      ports_(std::make_unique<Ports>(*backend_, switch_.none(), switch_)) {}

SwitchingCaptureDesktop::~SwitchingCaptureDesktop() = default;

Screens& SwitchingCaptureDesktop::screens() {
  return ports_->screens;
}
Permissions& SwitchingCaptureDesktop::permissions() {
  return ports_->permissions;
}
ScreenCapture& SwitchingCaptureDesktop::capture() {
  return ports_->capture;
}
Overlay& SwitchingCaptureDesktop::overlay() {
  return ports_->overlay;
}
void SwitchingCaptureDesktop::onDisplayLost(Listener listener) {
  switch_.onLost(std::move(listener));
}
void SwitchingCaptureDesktop::onInputTaken(Listener listener) {
  backend_->onInputTaken(std::move(listener));
}
void SwitchingCaptureDesktop::onDisplaysChanged(Listener listener) {
  backend_->onDisplaysChanged(std::move(listener));
}

struct SwitchingRegionDesktop::Ports {
  Ports(RegionDesktop& live, RegionDesktop& none, const DisplaySwitch& p)
      : shield(live.shield(), none.shield(), p) {}
  SwitchedShield shield;
};

SwitchingRegionDesktop::SwitchingRegionDesktop(std::unique_ptr<RegionDesktop> backend)
    : SwitchingCaptureDesktop(std::move(backend)),
      ports_(std::make_unique<Ports>(live<RegionDesktop>(), displaySwitch().none(),
                                     displaySwitch())) {}

SwitchingRegionDesktop::~SwitchingRegionDesktop() = default;

InputShield& SwitchingRegionDesktop::shield() {
  return ports_->shield;
}

struct SwitchingScrollDesktop::Ports {
  Ports(ScrollDesktop& live, ScrollDesktop& none, const DisplaySwitch& p)
      : keys(live.keys(), none.keys(), p),
        windows(live.windowServer(), none.windowServer(), p),
        workspace(live.workspace(), none.workspace(), p),
        shapes(live.windowShapes(), none.windowShapes(), p),
        scrollEvents(live.scrollEvents(), none.scrollEvents(), p) {}
  SwitchedKeys keys;
  SwitchedWindows windows;
  SwitchedWorkspace workspace;
  SwitchedShapes shapes;
  SwitchedScrollEvents scrollEvents;
};

SwitchingScrollDesktop::SwitchingScrollDesktop(std::unique_ptr<ScrollDesktop> backend)
    : SwitchingCaptureDesktop(std::move(backend)),
      ports_(std::make_unique<Ports>(live<ScrollDesktop>(), displaySwitch().none(),
                                     displaySwitch())) {}

SwitchingScrollDesktop::~SwitchingScrollDesktop() = default;

KeyState& SwitchingScrollDesktop::keys() {
  return ports_->keys;
}
WindowServer& SwitchingScrollDesktop::windowServer() {
  return ports_->windows;
}
Workspace& SwitchingScrollDesktop::workspace() {
  return ports_->workspace;
}
WindowShapes& SwitchingScrollDesktop::windowShapes() {
  return ports_->shapes;
}
ScrollEvents& SwitchingScrollDesktop::scrollEvents() {
  return ports_->scrollEvents;
}

}  // namespace orvel::platform
