// KWin's picture layouts and bytes as its screenshot service could send them: any layout, any
// bytes, converted or refused without reading past them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/kde/qimage_pixels.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kHeader = 10;
  if (size < kHeader) return 0;
  std::uint16_t width, height, format;
  std::uint32_t stride;
  std::memcpy(&width, data, 2);
  std::memcpy(&height, data + 2, 2);
  std::memcpy(&stride, data + 4, 4);
  std::memcpy(&format, data + 8, 2);
  // Small pictures keep each run quick; the bounds are what is fuzzed.
  const orvel::kde::QImageLayout layout{width % 256, height % 256, stride % 4096,
                                        static_cast<std::uint32_t>(format % 8)};
  auto image = orvel::kde::convertQImagePixels(
      std::span<const std::uint8_t>(data + kHeader, size - kHeader), layout);
  if (image && image->width() != layout.width) __builtin_trap();
  return 0;
}
