#include "platform/wayland/region_frame_fit.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace orvel::wayland {

namespace {

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

std::optional<RegionPart> regionPart(Size size, const std::optional<Rect>& source) {
  const Rect whole{0, 0, size.width, size.height};
  const Rect wanted = source.value_or(whole).standardized().integral();
  if (wanted.isEmpty()) return std::nullopt;
  return RegionPart{wanted, wanted.intersection(whole)};
}

Image fittedFrame(Image frame, const RegionPart& part, double scale,
                  const platform::CaptureConfiguration& config) {
  const int dx = static_cast<int>(std::lround((part.area.x - part.wanted.x) * scale));
  const int dy = static_cast<int>(std::lround((part.area.y - part.wanted.y) * scale));
  if (part.area == part.wanted && frame.width() == config.width && frame.height() == config.height)
    return frame;
  const int width = static_cast<int>(std::lround(part.wanted.width * scale));
  const int height = static_cast<int>(std::lround(part.wanted.height * scale));
  const bool rounding =
      std::abs(width - config.width) <= 1 && std::abs(height - config.height) <= 1;
  if (!rounding) return placed(frame, width, height, dx, dy);
  return placed(frame, config.width, config.height, dx, dy);
}

}  // namespace orvel::wayland
