// Ports of a desktop that cannot be reached: no screens, no windows, no keys, panels that show
// nothing, no scroll events, and pictures that fail with the backend's message. A helper wired to
// them keeps its protocol and fails every command with its message instead of ending.
#pragma once

#include <memory>
#include <string>
#include <utility>

#include "platform/key_state.h"
#include "platform/overlay.h"
#include "platform/screen_capture.h"
#include "platform/screens.h"
#include "platform/scroll_events.h"
#include "platform/window_server.h"
#include "platform/window_shapes.h"
#include "platform/workspace.h"

namespace orvel::platform::unreachable {

class NoScreens final : public Screens {
 public:
  std::vector<ScreenInfo> screens() override { return {}; }
  std::optional<Rect> displayBounds(std::uint32_t) override { return std::nullopt; }
};
class NoKeys final : public KeyState {
 public:
  bool isKeyDown(std::uint16_t) override { return false; }
};
class NoWindows final : public WindowServer {
 public:
  NoWindows(std::int64_t cursorLevel, std::int64_t dockLevel)
      : cursorLevel_(cursorLevel), dockLevel_(dockLevel) {}
  Json onScreenWindows() override { return Json(); }
  std::int64_t cursorLevel() override { return cursorLevel_; }
  std::int64_t dockLevel() override { return dockLevel_; }

 private:
  std::int64_t cursorLevel_, dockLevel_;
};
class NoShapes final : public WindowShapes {
 public:
  std::optional<std::vector<Rect>> contentShape(std::uint32_t) override { return std::nullopt; }
};
class NoWorkspace final : public Workspace {
 public:
  std::optional<RunningApplication> application(std::int32_t) override { return std::nullopt; }
  std::vector<std::int32_t> pidsWithBundleID(const std::string&) override { return {}; }
  void activate(std::int32_t, std::uint32_t) override {}
  std::optional<std::int32_t> frontmostPID() override { return std::nullopt; }
};
// Every call fails with `message`.
class NoCapture final : public ScreenCapture {
 public:
  explicit NoCapture(std::string message) : message_(std::move(message)) {}
  Expected<ShareableContent, PlatformError> shareableContent(bool, bool) override {
    return unexpected(PlatformError{message_});
  }
  Expected<Image, PlatformError> captureImage(const ContentFilter&,
                                              const CaptureConfiguration&) override {
    return unexpected(PlatformError{message_});
  }

 private:
  std::string message_;
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

}  // namespace orvel::platform::unreachable
