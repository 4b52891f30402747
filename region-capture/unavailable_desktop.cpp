#include "unavailable_desktop.h"

namespace orvel::region {

namespace {

constexpr const char* kNoBackend = "No screen-capture service is available.";

class UnavailablePanel final : public platform::OverlayPanel {
 public:
  explicit UnavailablePanel(Rect frame) : frame_(frame) {}
  void show(bool) override {}
  void close() override {}
  Rect frame() const override { return frame_; }
  Point convertToScreen(Point inWindow) const override {
    return {inWindow.x + frame_.x, inWindow.y + frame_.y};
  }
  Rect convertFromScreen(const Rect& inScreen) const override {
    return inScreen.offsetBy(-frame_.x, -frame_.y);
  }

 private:
  Rect frame_;
};

}  // namespace

Expected<platform::ShareableContent, platform::PlatformError> UnavailableDesktop::shareableContent(
    bool, bool) {
  return unexpected(platform::PlatformError{kNoBackend});
}

Expected<Image, platform::PlatformError> UnavailableDesktop::captureImage(
    const platform::ContentFilter&, const platform::CaptureConfiguration&) {
  return unexpected(platform::PlatformError{kNoBackend});
}

std::unique_ptr<platform::OverlayPanel> UnavailableDesktop::createPanel(
    const platform::PanelOptions& options, platform::OverlayView&) {
  return std::make_unique<UnavailablePanel>(options.frame);
}

}  // namespace orvel::region
