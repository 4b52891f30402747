#include "platform/kde/kwin_screen_capture.h"

#include <filesystem>

#include "platform/dbus/answer_deadlines.h"
#include "platform/wayland/picture_scaling.h"
#include "platform/wayland/wayland_screen_capture.h"

namespace orvel::kde {

KWinScreenCapture::KWinScreenCapture(const char* display)
    : connection_(wayland::WaylandConnection::open(display)) {
  if (session_.bus()) service_ = std::make_unique<Screenshot2>(*session_.bus(), thisProgramPath());
}

KWinScreenCapture::~KWinScreenCapture() {
  std::lock_guard lock(mutex_);
  service_.reset();
  session_.close();
  connection_.reset();
}

std::optional<std::string> KWinScreenCapture::whyNotAvailable() {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->ok()) return "no Wayland compositor answers";
  if (!service_) return "no session bus (" + session_.failure() + ")";
  auto version = session_.run(service_->version(dbus::kPromptAnswerDeadline));
  if (!version)
    return "KWin's screenshot service does not answer (" + version.error().description + ")";
  return std::nullopt;
}

bool KWinScreenCapture::authorised(std::string& refusal) {
  std::lock_guard lock(mutex_);
  if (!service_) return false;
  // The smallest picture KWin takes: one point at the origin.
  auto probe = session_.run(service_->captureArea(Rect{0, 0, 1, 1}, dbus::kPromptAnswerDeadline));
  if (probe) return true;
  refusal = probe.error().description;
  return false;
}

Expected<platform::ShareableContent, platform::PlatformError> KWinScreenCapture::shareableContent(
    bool, bool) {
  std::lock_guard lock(mutex_);
  return wayland::composedOutputsAsContent(connection_.get());
}

Expected<Image, platform::PlatformError> KWinScreenCapture::captureImage(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->ok() || !connection_->roundtrip())
    return failed(wayland::kCompositorNotReachable);
  if (!service_) return failed("The session bus is not reachable.");
  if (config.width <= 0 || config.height <= 0) return failed("Invalid capture size.");
  const wayland::WaylandOutput* output = connection_->findOutput(filter.displayID);
  if (!output) return failed("The display is not available.");
  if (config.sourceRect) return captureArea(*output, config);
  const double logicalWidth = output->logical.width;
  auto picture = session_.run(service_->captureScreen(output->name, dbus::kDrawnAnswerDeadline));
  if (!picture) return unexpected(std::move(picture).error());
  return wayland::configuredPicture(std::move(picture->image), logicalWidth, config);
}

Expected<Image, platform::PlatformError> KWinScreenCapture::captureArea(
    const wayland::WaylandOutput& output, const platform::CaptureConfiguration& config) {
  const Rect area =
      config.sourceRect->standardized().integral().offsetBy(output.logical.x, output.logical.y);
  if (area.isEmpty()) return failed("Invalid capture area.");
  auto picture = session_.run(service_->captureArea(area, dbus::kDrawnAnswerDeadline));
  if (!picture) return unexpected(std::move(picture).error());
  if (picture->image.width() == config.width && picture->image.height() == config.height)
    return std::move(picture->image);
  // Scaled to the configured size: what an output of another scale gave, or rounding.
  platform::CaptureConfiguration whole = config;
  whole.sourceRect.reset();
  return wayland::configuredPicture(std::move(picture->image), area.width, whole);
}

}  // namespace orvel::kde
