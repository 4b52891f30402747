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

namespace {

bool knownFormat(std::uint32_t format) {
  const auto f = static_cast<QImageFormat>(format);
  return f == QImageFormat::Rgb32 || f == QImageFormat::Argb32 ||
         f == QImageFormat::Argb32Premultiplied;
}

Failure unknownFormat(std::uint32_t format) {
  return Failure{"KWin sent a picture in an unknown pixel format (" + std::to_string(format) +
                 ")."};
}

// One row of `width` words of `format` (a known one) made premultiplied BGRA in place.
void premultiplyRow(std::uint8_t* row, int width, QImageFormat format) {
  if (format == QImageFormat::Argb32Premultiplied) return;
  // Screens are opaque: one pass the compiler vectorises tells a row that needs nothing done,
  // sparing it the per-pixel loop below.
  if (format == QImageFormat::Argb32 && opaque(row, width)) return;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
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

}  // namespace

Expected<Image, Failure> convertQImagePixels(std::span<const std::uint8_t> bytes,
                                             const QImageLayout& layout) {
  if (!knownFormat(layout.format)) return unexpected(unknownFormat(layout.format));
  const std::size_t needed = layout.byteCount();
  if (needed == 0) return failed("KWin sent a picture of no size.");
  if (bytes.size() < needed) {
    return failed("KWin sent " + std::to_string(bytes.size()) + " bytes of a picture of " +
                  std::to_string(needed) + ".");
  }
  Image out = Image::uninitialized(layout.width, layout.height);
  const std::size_t rowBytes = out.stride();
  for (int y = 0; y < layout.height; ++y) {
    std::memcpy(out.row(y), bytes.data() + static_cast<std::size_t>(y) * layout.stride, rowBytes);
    premultiplyRow(out.row(y), layout.width, static_cast<QImageFormat>(layout.format));
  }
  return out;
}

Expected<void, Failure> premultiplyInPlace(Image& image, std::uint32_t format) {
  if (!knownFormat(format)) return unexpected(unknownFormat(format));
  for (int y = 0; y < image.height(); ++y)
    premultiplyRow(image.row(y), image.width(), static_cast<QImageFormat>(format));
  return {};
}

Expected<void, Failure> knownQImageFormat(std::uint32_t format) {
  if (!knownFormat(format)) return unexpected(unknownFormat(format));
  return {};
}

}  // namespace orvel::kde
