#include "platform/x11/pixel_format.h"

#include <bit>
#include <cstring>

namespace orvel::x11 {

namespace {

// The mask's channel scaled to 8 bits, full intensity staying 255.
std::uint8_t channel(std::uint32_t pixel, std::uint32_t mask) {
  if (mask == 0) return 0;
  const std::uint32_t max = mask >> std::countr_zero(mask);
  const std::uint64_t v = (pixel & mask) >> std::countr_zero(mask);
  return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
}

std::uint32_t readPixel(const std::uint8_t* p, int bytes, bool lsbFirst) {
  std::uint32_t v = 0;
  if (lsbFirst) {
    for (int i = bytes - 1; i >= 0; --i)
      v = (v << 8) | p[i];
  } else {
    for (int i = 0; i < bytes; ++i)
      v = (v << 8) | p[i];
  }
  return v;
}

}  // namespace

void convertRow(const PixelFormat& f, const std::uint8_t* src, std::uint8_t* dst, int width) {
  if (f.isFastBGRX()) {
    // One pass of whole words, which the compiler vectorises: little-endian BGRX gets alpha 255.
    for (int x = 0; x < width; ++x) {
      std::uint32_t pixel;
      std::memcpy(&pixel, src + x * 4, 4);
      pixel |= 0xff000000u;
      std::memcpy(dst + x * 4, &pixel, 4);
    }
    return;
  }
  const int bytes = f.bitsPerPixel / 8;
  for (int x = 0; x < width; ++x) {
    const std::uint32_t pixel = readPixel(src + x * bytes, bytes, f.lsbFirst);
    dst[x * 4 + 0] = channel(pixel, f.blueMask);
    dst[x * 4 + 1] = channel(pixel, f.greenMask);
    dst[x * 4 + 2] = channel(pixel, f.redMask);
    dst[x * 4 + 3] = 0xff;
  }
}

}  // namespace orvel::x11
