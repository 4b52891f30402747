#include "platform/wayland/wayland_frame_capture.h"

#include <set>

#include "platform/wayland/region_frame_fit.h"
#include "platform/wayland/wayland_screen_capture.h"

namespace orvel::wayland {

WaylandFrameCapture::WaylandFrameCapture(const char* display, SwayWindowList* windows)
    : connection_(WaylandConnection::open(display)), windows_(windows) {
  if (connection_) frames_ = std::make_unique<RegionFrameCapture>(*connection_);
}

WaylandFrameCapture::~WaylandFrameCapture() {
  std::lock_guard lock(mutex_);
  frames_.reset();
  connection_.reset();
}

bool WaylandFrameCapture::available() {
  std::lock_guard lock(mutex_);
  return connection_ && connection_->ok() && connection_->screencopy() && connection_->shm();
}

std::uint64_t WaylandFrameCapture::buffersMade() {
  std::lock_guard lock(mutex_);
  return frames_ ? frames_->buffersMade() : 0;
}

Expected<platform::ShareableContent, platform::PlatformError> WaylandFrameCapture::shareableContent(
    bool, bool) {
  std::lock_guard lock(mutex_);
  auto content = outputsAsContent(connection_.get());
  if (!content || !windows_) return content;
  const OutputLayout layout = connection_->layout();
  const auto views = windows_->read();
  if (!views) return failed("The window list is not readable.");
  std::set<std::int32_t> pids;
  for (const SwayView& v : *views) {
    content->windows.push_back(
        {static_cast<std::uint32_t>(v.id), v.pid, layout.toGlobal(v.frame), true});
    if (v.pid) pids.insert(*v.pid);
  }
  for (std::int32_t pid : pids)
    content->applications.push_back({pid, std::nullopt});
  return content;
}

Expected<Image, platform::PlatformError> WaylandFrameCapture::captureImage(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->ok()) return failed(kCompositorNotReachable);
  if (config.width <= 0 || config.height <= 0) return failed("Invalid capture size.");
  const WaylandOutput* output = connection_->findOutput(filter.displayID);
  if (!output) {
    // An output added a moment ago shows after the compositor's answer.
    if (!connection_->roundtrip()) return failed(kCompositorNotReachable);
    output = connection_->findOutput(filter.displayID);
  }
  if (!output) return failed("The display is not available.");
  const OutputGeometry geometry = output->geometry();
  const auto part =
      regionPart({geometry.logical.width, geometry.logical.height}, config.sourceRect);
  if (!part) return failed("Invalid capture area.");
  if (part->area.isEmpty()) return Image(config.width, config.height);

  auto frame = frames_->capture(filter.displayID, part->area);
  if (!frame) return frame;
  return fittedFrame(std::move(*frame), *part, OutputLayout::scaleOf(geometry), config);
}

}  // namespace orvel::wayland
