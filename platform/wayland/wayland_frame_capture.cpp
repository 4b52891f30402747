#include "platform/wayland/wayland_frame_capture.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>

#include "platform/wayland/wayland_screen_capture.h"

namespace orvel::wayland {

namespace {

platform::PlatformError error(std::string text) {
  return platform::PlatformError{std::move(text)};
}

constexpr const char* kNotReachable = "The compositor is not reachable.";

// `picture` copied into a transparent `width` x `height` picture with its top-left corner at
// (dx, dy); what does not fit is cut.
Image placed(const Image& picture, int width, int height, int dx, int dy) {
  Image out(width, height);
  const int x0 = std::max(0, dx), x1 = std::min(width, dx + picture.width());
  const int y0 = std::max(0, dy), y1 = std::min(height, dy + picture.height());
  if (x1 <= x0) return out;
  for (int y = y0; y < y1; ++y)
    std::memcpy(out.row(y) + std::size_t(x0) * 4, picture.row(y - dy) + std::size_t(x0 - dx) * 4,
                std::size_t(x1 - x0) * 4);
  return out;
}

}  // namespace

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
  if (!views) return unexpected(error("The window list is not readable."));
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
  if (!connection_ || !connection_->ok()) return unexpected(error(kNotReachable));
  if (config.width <= 0 || config.height <= 0) return unexpected(error("Invalid capture size."));
  const WaylandOutput* output = connection_->findOutput(filter.displayID);
  if (!output) {
    // An output added a moment ago shows after the compositor's answer.
    if (!connection_->roundtrip()) return unexpected(error(kNotReachable));
    output = connection_->findOutput(filter.displayID);
  }
  if (!output) return unexpected(error("The display is not available."));
  const OutputGeometry geometry = output->geometry();
  const Rect whole{0, 0, geometry.logical.width, geometry.logical.height};
  const Rect wanted = config.sourceRect.value_or(whole).standardized().integral();
  if (wanted.isEmpty()) return unexpected(error("Invalid capture area."));
  const double scale = OutputLayout::scaleOf(geometry);
  const Rect area = wanted.intersection(whole);
  if (area.isEmpty()) return Image(config.width, config.height);

  auto frame = frames_->capture(filter.displayID, area);
  if (!frame) return frame;
  const int dx = static_cast<int>(std::lround((area.x - wanted.x) * scale));
  const int dy = static_cast<int>(std::lround((area.y - wanted.y) * scale));
  if (area == wanted && frame->width() == config.width && frame->height() == config.height)
    return frame;
  const int width = static_cast<int>(std::lround(wanted.width * scale));
  const int height = static_cast<int>(std::lround(wanted.height * scale));
  const bool rounding =
      std::abs(width - config.width) <= 1 && std::abs(height - config.height) <= 1;
  // A changed scale: the frame at the output's new size tells the caller.
  if (!rounding) return placed(*frame, width, height, dx, dy);
  return placed(*frame, config.width, config.height, dx, dy);
}

}  // namespace orvel::wayland
