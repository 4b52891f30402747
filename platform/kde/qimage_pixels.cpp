#include "platform/kde/qimage_pixels.h"

#include <bit>
#include <cstring>
#include <limits>
#include <string>

namespace orvel::kde {

static_assert(std::endian::native == std::endian::little,
              "QImage's 32-bit words are B, G, R, A bytes only on little-endian machines");

namespace {

std::uint8_t premultiplied(std::uint8_t channel, std::uint8_t alpha) {
  return static_cast<std::uint8_t>((channel * alpha + 127) / 255);
}

bool opaque(const std::uint8_t* row, int width) {
  std::uint32_t all = 0xffffffffu;
  for (int x = 0; x < width; ++x) {
    std::uint32_t word;
    std::memcpy(&word, row + static_cast<std::size_t>(x) * 4, 4);
    all &= word;
  }
  return (all >> 24) == 0xff;
}

}  // namespace

std::size_t QImageLayout::byteCount() const {
  if (width <= 0 || height <= 0) return 0;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  if (stride < rowBytes) return 0;
  const auto rows = static_cast<std::size_t>(height);
  if (stride > (std::numeric_limits<std::size_t>::max() - rowBytes) / rows) return 0;
  return stride * (rows - 1) + rowBytes;
}

Expected<Image, Failure> convertQImagePixels(std::span<const std::uint8_t> bytes,
                                             const QImageLayout& layout) {
  const auto format = static_cast<QImageFormat>(layout.format);
  if (format != QImageFormat::Rgb32 && format != QImageFormat::Argb32 &&
      format != QImageFormat::Argb32Premultiplied) {
    return failed("KWin sent a picture in an unknown pixel format (" +
                  std::to_string(layout.format) + ").");
  }
  const std::size_t needed = layout.byteCount();
  if (needed == 0) return failed("KWin sent a picture of no size.");
  if (bytes.size() < needed) {
    return failed("KWin sent " + std::to_string(bytes.size()) + " bytes of a picture of " +
                  std::to_string(needed) + ".");
  }
  Image out = Image::uninitialized(layout.width, layout.height);
  const std::size_t rowBytes = out.stride();
  for (int y = 0; y < layout.height; ++y) {
    const std::uint8_t* in = bytes.data() + static_cast<std::size_t>(y) * layout.stride;
    std::uint8_t* row = out.row(y);
    std::memcpy(row, in, rowBytes);
    if (format == QImageFormat::Argb32Premultiplied) continue;
    // Screens are opaque: one pass the compiler vectorises tells a row that needs nothing done,
    // sparing it the per-pixel loop below.
    if (format == QImageFormat::Argb32 && opaque(row, layout.width)) continue;
    for (std::size_t x = 3; x < rowBytes; x += 4) {
      if (format == QImageFormat::Rgb32) {
        row[x] = 0xff;
        continue;
      }
      const std::uint8_t alpha = row[x];
      if (alpha == 0xff) continue;
      row[x - 3] = premultiplied(row[x - 3], alpha);
      row[x - 2] = premultiplied(row[x - 2], alpha);
      row[x - 1] = premultiplied(row[x - 1], alpha);
    }
  }
  return out;
}

}  // namespace orvel::kde
