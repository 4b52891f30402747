// Capture setup for a locked region and the "capture" command.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "messages.h"
#include "scroll_capture_helper.h"

namespace orvel::scroll {

namespace {
constexpr std::int64_t kMaxSide = 16384;
constexpr std::int64_t kMaxPixels = 8'000'000;

// Truncation toward zero, saturating so that absurd sizes still fail the limit check.
std::int64_t pixelCount(double points, double scale) {
  const double v = std::trunc(points * scale);
  if (!std::isfinite(v)) return v > 0 ? INT64_MAX : 0;
  return static_cast<std::int64_t>(std::clamp(v, -9.0e18, 9.0e18));
}
}  // namespace

Task<Outcome<std::pair<int, int>>> ScrollCaptureHelper::setUpCapture(
    Rect region, std::unique_ptr<platform::ExclusionHold> exclusions) {
  // Awaiters are named: GCC 12 destroys lambda captures inside a co_await expression twice.
  auto query = offload(loop_, [&capture = ports_.capture] {
    return capture.shareableContent(/*excludeDesktopWindows=*/true, /*onScreenWindowsOnly=*/true);
  });
  auto content = co_await query;
  if (!content) co_return fail(content.error().description);
  auto display = std::find_if(content->displays.begin(), content->displays.end(),
                              [&](const auto& d) { return d.displayID == state_.displayID; });
  if (display == content->displays.end()) co_return fail(msg::kDisplayUnavailable);

  platform::ContentFilter filter{state_.displayID, {}, {}};
  const auto& own = windowPolicy().ownPIDs();
  bool overlapped = false;
  for (const auto& w : content->windows) {
    if (!own.count(w.ownerPID.value_or(-1))) continue;
    filter.excludedWindows.push_back(w.windowID);
    overlapped |= w.frame.intersects(region);
  }

  const Rect d = ports_.screens.displayBounds(state_.displayID).value_or(Rect{});
  const std::int64_t width = pixelCount(region.width, state_.scale);
  const std::int64_t height = pixelCount(region.height, state_.scale);
  if (width > kMaxSide || height > kMaxSide || width * height > kMaxPixels) {
    co_return fail(msg::kRegionTooLarge);
  }
  platform::CaptureConfiguration config;
  config.sourceRect = Rect{region.x - d.x, region.y - d.y, region.width, region.height};
  config.width = static_cast<int>(width);
  config.height = static_cast<int>(height);
  config.showsCursor = false;
  config.pixelFormat = platform::kPixelFormatBGRA;
  config.captureResolution = 1;
  state_.configuration = config;
  state_.filter = std::move(filter);
  if (overlapped) state_.exclusions = std::move(exclusions);
  co_return std::pair<int, int>{config.width, config.height};
}

Task<Expected<Image, platform::PlatformError>> ScrollCaptureHelper::grabRegion() {
  const platform::ContentFilter filter = *state_.filter;
  const platform::CaptureConfiguration config = *state_.configuration;
  auto grab = offload(loop_, [&capture = ports_.capture, filter, config] {
    return capture.captureImage(filter, config);
  });
  co_return co_await grab;
}

Task<Outcome<>> ScrollCaptureHelper::capture() {
  if (auto check = validate(); !check) co_return check;
  if (!state_.filter || !state_.configuration) co_return fail(msg::kSelectTargetFirst);
  const platform::CaptureConfiguration config = *state_.configuration;
  auto grab = grabRegion();
  auto image = co_await grab;
  if (!image) co_return fail(image.error().description);
  if (auto check = validate(); !check) co_return check;
  if (image->width() != config.width || image->height() != config.height) {
    co_return fail(msg::kScalingChanged);
  }
  const std::size_t rowBytes = static_cast<std::size_t>(config.width) * 4;
  const std::size_t length = rowBytes * static_cast<std::size_t>(config.height);
  if (image->stride() == rowBytes) {
    // The picture already has the payload's layout: send its buffer as it is.
    send({{"ok", true}, {"width", config.width}, {"height", config.height}, {"length", length}},
         image->bytes().first(length));
    co_return Outcome<>{};
  }
  std::vector<std::uint8_t> packed;
  try {
    packed.resize(length);
  } catch (const std::bad_alloc&) {
    co_return fail(msg::kCannotAllocatePixels);
  }
  for (int y = 0; y < config.height; ++y) {
    std::memcpy(packed.data() + y * rowBytes, image->row(y), rowBytes);
  }
  send({{"ok", true}, {"width", config.width}, {"height", config.height}, {"length", length}},
       packed);
  co_return Outcome<>{};
}

}  // namespace orvel::scroll
