// The picture the test window shows: every byte depends on the pixel's position in the window and
// on a seed, so a captured frame can be checked byte for byte and a shifted one cannot pass.
#pragma once

#include <cstdint>

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

}  // namespace orvel::x11test
