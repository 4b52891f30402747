// Pictures as KWin's screenshot service writes them to a pipe: rows of a QImage format, turned
// into the helpers' premultiplied BGRA rows top to bottom. Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "orvel/common/failure.h"
#include "orvel/common/image.h"

namespace orvel::kde {

// The QImage formats KWin writes: 32-bit words 0xAARRGGBB in the machine's byte order.
enum class QImageFormat : std::uint32_t {
  Rgb32 = 4,                // alpha ignored (opaque)
  Argb32 = 5,               // straight alpha
  Argb32Premultiplied = 6,  // premultiplied alpha, the helpers' own layout
};

// The layout of the bytes that `CaptureScreen` or `CaptureArea` answered with.
struct QImageLayout {
  int width = 0;
  int height = 0;
  std::size_t stride = 0;  // bytes between rows
  std::uint32_t format = 0;
  // Bytes the picture takes (the last row may stop at its pixels); 0 when the layout is not one.
  std::size_t byteCount() const;
};

// Converts `bytes` laid out as `layout` into a packed premultiplied BGRA picture. Fails naming the
// format when it is not one of the three, or when the bytes are fewer than the layout needs.
Expected<Image, Failure> convertQImagePixels(std::span<const std::uint8_t> bytes,
                                             const QImageLayout& layout);

// Fails naming `format` when it is not one of the three.
Expected<void, Failure> knownQImageFormat(std::uint32_t format);

// The same for a picture whose packed rows already hold the words of `format`, in place: for
// rows read straight into a picture. Fails naming the format when it is not one of the three.
Expected<void, Failure> premultiplyInPlace(Image& image, std::uint32_t format);

}  // namespace orvel::kde
