#include "platform/wayland/wayland_screen_capture.h"

#include <unistd.h>

#include <cmath>

#include "platform/wayland/picture_scaling.h"
#include "platform/wayland/screencopy_frame.h"

namespace orvel::wayland {

WaylandScreenCapture::WaylandScreenCapture(const char* display, std::shared_ptr<StallWatch> stalls)
    : connection_(WaylandConnection::open(display, std::move(stalls))) {}

WaylandScreenCapture::~WaylandScreenCapture() {
  std::lock_guard lock(mutex_);
  connection_.reset();
}

bool WaylandScreenCapture::available() {
  std::lock_guard lock(mutex_);
  return connection_ && connection_->ok() && connection_->screencopy() && connection_->shm();
}

Expected<platform::ShareableContent, platform::PlatformError> outputsAsContent(
    WaylandConnection* connection) {
  if (!connection || !connection->roundtrip()) return failed(kCompositorNotReachable);
  const OutputLayout layout = connection->layout();
  platform::ShareableContent content;
  for (const auto& o : layout.outputs())
    content.displays.push_back({o.id, layout.toGlobal(o.logical)});
  return content;
}

Expected<platform::ShareableContent, platform::PlatformError> composedOutputsAsContent(
    WaylandConnection* connection) {
  auto content = outputsAsContent(connection);
  if (!content) return content;
  content->applications.push_back({static_cast<std::int32_t>(::getpid()), std::nullopt});
  content->applications.push_back({static_cast<std::int32_t>(::getppid()), std::nullopt});
  return content;
}

Expected<platform::ShareableContent, platform::PlatformError>
WaylandScreenCapture::shareableContent(bool, bool) {
  std::lock_guard lock(mutex_);
  return composedOutputsAsContent(connection_.get());
}

Expected<WaylandScreenCapture::Pictures, platform::PlatformError>
WaylandScreenCapture::captureAll() {
  struct Copy {
    std::uint32_t id;
    std::int32_t transform;
    std::unique_ptr<ScreencopyFrame> frame;
  };
  std::vector<Copy> copies;
  for (const auto& o : connection_->outputs()) {
    auto copy = std::make_unique<ScreencopyFrame>();
    copy->shm = connection_->shm();
    copy->start(zwlr_screencopy_manager_v1_capture_output(connection_->screencopy(),
                                                          /*overlay_cursor=*/0, o->output.get()));
    copies.push_back({o->globalName, o->transform, std::move(copy)});
  }
  const bool answered = connection_->dispatchUntil([&copies] {
    for (const auto& c : copies) {
      if (!c.frame->finished()) return false;
    }
    return true;
  });
  if (!answered) {
    return failed(connection_->ok() ? "The compositor did not answer." : kCompositorNotReachable);
  }
  Pictures out;
  for (const auto& c : copies) {
    if (c.frame->failed || !c.frame->buffer) return failed("The screen could not be read.");
    // The compositor hands each picture over as its output scans it out: turned for rotated ones.
    out.emplace(c.id, c.frame->picture(c.transform));
  }
  return out;
}

Expected<Image, platform::PlatformError> WaylandScreenCapture::captureImage(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->ok()) return failed(kCompositorNotReachable);
  if (!connection_->screencopy() || !connection_->shm())
    return failed("The compositor offers no screen pictures.");
  if (config.width <= 0 || config.height <= 0) return failed("Invalid capture size.");
  auto picture =
      batch_.takeOrTakeAll(filter.displayID, std::chrono::steady_clock::now(),
                           [&]() -> Expected<PictureBatch::Pictures, platform::PlatformError> {
                             if (!connection_->roundtrip()) return failed(kCompositorNotReachable);
                             if (!connection_->findOutput(filter.displayID))
                               return failed("The display is not available.");
                             return captureAll();
                           });
  if (!picture) return picture;
  const WaylandOutput* output = connection_->findOutput(filter.displayID);
  return configuredPicture(std::move(picture).value(), output ? output->logical.width : 0, config);
}

}  // namespace orvel::wayland
