// Conversion of X image rows into premultiplied BGRA. The common layout (32 bits per pixel with
// masks 0xff0000, 0xff00, 0xff) is one copy that sets alpha to 255, since the fourth byte of a
// depth-24 pixel is undefined; any other TrueColor layout goes through its masks.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvel::x11 {

struct PixelFormat {
  int bitsPerPixel = 32;
  std::uint32_t redMask = 0xff0000;
  std::uint32_t greenMask = 0xff00;
  std::uint32_t blueMask = 0xff;
  bool lsbFirst = true;  // the server's image byte order

  bool isFastBGRX() const {
    return bitsPerPixel == 32 && redMask == 0xff0000 && greenMask == 0xff00 && blueMask == 0xff &&
           lsbFirst;
  }
};

// Converts `width` pixels of `src` into `dst` (4 bytes per pixel, opaque).
void convertRow(const PixelFormat& format, const std::uint8_t* src, std::uint8_t* dst, int width);

}  // namespace orvel::x11
