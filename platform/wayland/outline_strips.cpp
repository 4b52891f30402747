#include "platform/wayland/outline_strips.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace orvel::wayland {

std::vector<PixelBox> outlineStrips(const Rect& stroke, double lineWidth, double viewHeight,
                                    double scale, int bufferWidth, int bufferHeight) {
  const Rect r = stroke.standardized();
  const int m = static_cast<int>(std::ceil(lineWidth * scale / 2)) + 2;
  const int x0 = static_cast<int>(std::floor(r.x * scale)) - m;
  const int y0 = static_cast<int>(std::floor((viewHeight - r.maxY()) * scale)) - m;
  const int x1 = static_cast<int>(std::ceil(r.maxX() * scale)) + m;
  const int y1 = static_cast<int>(std::ceil((viewHeight - r.y) * scale)) + m;
  const int band = 2 * m;
  const PixelBox strips[] = {{x0, y0, x1 - x0, band},
                             {x0, y1 - band, x1 - x0, band},
                             {x0, y0, band, y1 - y0},
                             {x1 - band, y0, band, y1 - y0}};
  std::vector<PixelBox> out;
  for (const PixelBox& s : strips) {
    const int left = std::max(s.x, 0), top = std::max(s.y, 0);
    const int right = std::min(s.x + s.width, bufferWidth);
    const int bottom = std::min(s.y + s.height, bufferHeight);
    if (right > left && bottom > top) out.push_back({left, top, right - left, bottom - top});
  }
  return out;
}

void copyBox(const std::uint8_t* from, std::uint8_t* to, std::size_t stride, const PixelBox& box) {
  for (int y = box.y; y < box.y + box.height; ++y) {
    const std::size_t offset = static_cast<std::size_t>(y) * stride + std::size_t(box.x) * 4;
    std::memcpy(to + offset, from + offset, static_cast<std::size_t>(box.width) * 4);
  }
}

}  // namespace orvel::wayland
