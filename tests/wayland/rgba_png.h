// Any 8-bit PNG (grim's pictures, the helper's files) read back as straight RGBA rows.
#pragma once

#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "orvel/common/image.h"

namespace orvel::waylandtest {

struct RgbaPicture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
  const std::uint8_t* at(int x, int y) const {
    return rgba.data() + (static_cast<std::size_t>(y) * width + x) * 4;
  }
};

inline std::optional<RgbaPicture> readRgbaPng(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return std::nullopt;
  image.format = PNG_FORMAT_RGBA;
  RgbaPicture out;
  out.width = static_cast<int>(image.width);
  out.height = static_cast<int>(image.height);
  out.rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.rgba.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  return out;
}

// The first `width` columns (all when negative) of a premultiplied BGRA picture as RGBA rows, the
// bytes as they are (grim writes opaque pictures, whose premultiplied bytes are their colours).
inline RgbaPicture rgbaOf(const Image& picture, int width = -1) {
  if (width < 0) width = picture.width();
  RgbaPicture out{width, picture.height(), {}};
  out.rgba.reserve(static_cast<std::size_t>(width) * picture.height() * 4);
  for (int y = 0; y < picture.height(); ++y)
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = picture.row(y) + x * 4;
      out.rgba.insert(out.rgba.end(), {p[2], p[1], p[0], p[3]});
    }
  return out;
}

// The largest difference of any channel between `a` at (ax, ay) and `b` at (bx, by) over a
// width x height area; 256 when the area does not fit.
inline int largestDifference(const RgbaPicture& a, int ax, int ay, const RgbaPicture& b, int bx,
                             int by, int width, int height) {
  if (ax + width > a.width || ay + height > a.height || bx + width > b.width ||
      by + height > b.height) {
    return 256;
  }
  int worst = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const std::uint8_t* p = a.at(ax + x, ay + y);
      const std::uint8_t* q = b.at(bx + x, by + y);
      for (int c = 0; c < 4; ++c)
        worst = std::max(worst, std::abs(int(p[c]) - int(q[c])));
    }
  }
  return worst;
}

// How many pixels differ in any channel; every pixel of the larger when the sizes differ.
inline long differingPixels(const RgbaPicture& a, const RgbaPicture& b) {
  if (a.width != b.width || a.height != b.height)
    return std::max(long(a.width) * a.height, long(b.width) * b.height);
  long count = 0;
  for (std::size_t i = 0; i < a.rgba.size(); i += 4)
    count += !std::equal(a.rgba.begin() + long(i), a.rgba.begin() + long(i) + 4,
                         b.rgba.begin() + long(i));
  return count;
}

// Pixels of `shown` that are not `truth` under the overlay's dimming (22 % black), give or take
// rounding; -1 when the sizes differ.
inline long notDimmed(const RgbaPicture& shown, const RgbaPicture& truth) {
  if (shown.width != truth.width || shown.height != truth.height) return -1;
  long count = 0;
  for (int y = 0; y < truth.height; ++y) {
    for (int x = 0; x < truth.width; ++x) {
      for (int c = 0; c < 3; ++c) {
        if (std::abs(shown.at(x, y)[c] - truth.at(x, y)[c] * 0.78) > 3) {
          ++count;
          break;
        }
      }
    }
  }
  return count;
}

}  // namespace orvel::waylandtest
