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

Expected<wayland::PictureBatch::Pictures, platform::PlatformError> KWinScreenCapture::captureAll() {
  std::vector<std::uint32_t> ids;
  std::vector<Task<Expected<KWinPicture, Failure>>> calls;
  for (const auto& o : connection_->outputs()) {
    ids.push_back(o->globalName);
    calls.push_back(service_->captureScreen(o->name, dbus::kDrawnAnswerDeadline));
  }
  auto pictures = session_.runAll(std::move(calls));
  wayland::PictureBatch::Pictures out;
  for (std::size_t i = 0; i < pictures.size(); ++i) {
    if (!pictures[i]) return unexpected(std::move(pictures[i]).error());
    out.emplace(ids[i], std::move(pictures[i]->image));
  }
  return out;
}

Expected<Image, platform::PlatformError> KWinScreenCapture::captureImage(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->ok()) return failed(wayland::kCompositorNotReachable);
  if (!service_) return failed("The session bus is not reachable.");
  if (config.width <= 0 || config.height <= 0) return failed("Invalid capture size.");
  if (config.sourceRect) {
    if (!connection_->roundtrip()) return failed(wayland::kCompositorNotReachable);
    const wayland::WaylandOutput* output = connection_->findOutput(filter.displayID);
    if (!output) return failed("The display is not available.");
    return captureArea(*output, config);
  }
  auto picture = batch_.takeOrTakeAll(
      filter.displayID, std::chrono::steady_clock::now(),
      [&]() -> Expected<wayland::PictureBatch::Pictures, platform::PlatformError> {
        if (!connection_->roundtrip()) return failed(wayland::kCompositorNotReachable);
        if (!connection_->findOutput(filter.displayID))
          return failed("The display is not available.");
        return captureAll();
      });
  if (!picture) return picture;
  const wayland::WaylandOutput* output = connection_->findOutput(filter.displayID);
  return wayland::configuredPicture(std::move(picture).value(), output ? output->logical.width : 0,
                                    config);
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
