// Stand-in ports for a build without a desktop backend. It reports no screens and no permissions
// and cannot intercept input, so the helper keeps its protocol and answers every "prepare" with
// the accessibility permission reply. A desktop backend replaces it in main.cpp.
#pragma once

#include "platform/input_shield.h"
#include "platform/overlay.h"
#include "platform/permissions.h"
#include "platform/screen_capture.h"
#include "platform/screens.h"

namespace orvel::region {

class UnavailableDesktop final : public platform::Screens,
                                 public platform::Permissions,
                                 public platform::ScreenCapture,
                                 public platform::Overlay,
                                 public platform::InputShield {
 public:
  std::vector<platform::ScreenInfo> screens() override { return {}; }
  std::optional<Rect> displayBounds(std::uint32_t) override { return std::nullopt; }

  bool screenCaptureAllowed() override { return false; }
  bool postEventAllowed() override { return false; }
  bool accessibilityTrusted() override { return false; }

  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(bool,
                                                                                 bool) override;
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter&, const platform::CaptureConfiguration&) override;

  std::unique_ptr<platform::OverlayPanel> createPanel(const platform::PanelOptions&,
                                                      platform::OverlayView&) override;
  void pushCursor(platform::CursorKind) override {}
  void popCursor() override {}
  void setCursor(platform::CursorKind) override {}

  bool install(std::uint64_t, Handler) override { return false; }
  void setEnabled(bool) override {}
};

}  // namespace orvel::region
