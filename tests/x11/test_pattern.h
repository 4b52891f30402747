// The picture the test window shows: every byte depends on the pixel's position in the window and
// on a seed, so a captured frame can be checked byte for byte and a shifted one cannot pass.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

namespace orvel::x11test {

// Opaque BGRA word of pixel (x, y) of the window's content.
inline std::uint32_t patternPixel(int x, int y, int seed) {
  const auto ux = static_cast<std::uint32_t>(x);
  const auto uy = static_cast<std::uint32_t>(y);
  const std::uint32_t b = ux & 0xff;
  const std::uint32_t g = uy & 0xff;
  const std::uint32_t r =
      ((ux >> 8) * 16 + (uy >> 8) + static_cast<std::uint32_t>(seed) * 37) & 0xff;
  return b | (g << 8) | (r << 16) | 0xff000000u;
}

// How many pixels of `frame` (BGRA, width × height) are not the pattern of `seed` at (px, py) of
// the window; every pixel when the frame is not of that size.
inline int patternMismatches(const std::vector<std::uint8_t>& frame, int width, int height, int px,
                             int py, int seed) {
  if (frame.size() != std::size_t(width) * height * 4) return width * height;
  int bad = 0;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint32_t v;
      std::memcpy(&v, frame.data() + (std::size_t(y) * width + x) * 4, 4);
      bad += v != patternPixel(px + x, py + y, seed);
    }
  return bad;
}

}  // namespace orvel::x11test
