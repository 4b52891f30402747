// Feeds arbitrary bytes to the text-recognition helper's PNG band reader as an image file, and
// reads bands of it top to bottom, then from the top again (a restart). Nothing may crash, read
// out of bounds or allocate past the image limits; a band is either missing or of its size.
// Most inputs are first made into a PNG whose chunks check out (a size, a colour type, a depth
// and interlacing from the first bytes, rows from the rest), so that mutations reach the rows
// rather than stopping at a checksum; the others are read as they are.
#include <leptonica/allheaders.h>
#include <unistd.h>

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "memory_file.h"
#include "png_chunk.h"
#include "png_gray_stream.h"

using namespace orvel::ocr;
using orvel::ocr::testing::appendPngChunk;

namespace {

std::string pngOf(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return {};
  struct Kind {
    std::uint8_t colorType, depth, channels;
  };
  static constexpr Kind kKinds[] = {{0, 1, 1}, {0, 8, 1}, {0, 16, 1}, {2, 8, 3}, {2, 16, 3},
                                    {3, 4, 1}, {3, 8, 1}, {4, 8, 2},  {6, 8, 4}, {6, 16, 4}};
  const Kind kind = kKinds[data[0] % std::size(kKinds)];
  const bool interlaced = data[1] & 1;
  const std::uint32_t width = 1 + (data[2] | data[3] << 8) % 700;
  const std::uint32_t height = 1 + (data[4] | data[5] << 8) % 700;
  const bool transparent = data[6] & 1;
  data += 8;
  size -= 8;
  std::string header;
  for (std::uint32_t v : {width, height})
    for (int shift = 24; shift >= 0; shift -= 8)
      header += static_cast<char>(v >> shift & 0xff);
  header += static_cast<char>(kind.depth);
  header += static_cast<char>(kind.colorType);
  header += std::string(2, '\0');
  header += static_cast<char>(interlaced ? 1 : 0);
  std::string file = "\x89PNG\r\n\x1a\n";
  appendPngChunk(file, "IHDR", header);
  if (kind.colorType == 3) {
    std::string palette(768, '\0');
    for (std::size_t i = 0; i < palette.size() && i < size; ++i)
      palette[i] = static_cast<char>(data[i]);
    appendPngChunk(file, "PLTE", palette);
  }
  if (transparent && kind.colorType == 3) appendPngChunk(file, "tRNS", std::string(16, '\x80'));
  // Rows (each with its filter byte) cycle through the rest of the input; an interlaced picture
  // takes fewer bytes, and the spare ones are simply left unread.
  const std::size_t rowBytes = 1 + (std::size_t{width} * kind.channels * kind.depth + 7) / 8;
  std::string raw(rowBytes * height, '\0');
  for (std::size_t i = 0; i < raw.size() && size > 0; ++i)
    raw[i] = static_cast<char>(data[i % size]);
  for (std::size_t y = 0; y < height; ++y)
    raw[y * rowBytes] = static_cast<char>(static_cast<std::uint8_t>(raw[y * rowBytes]) % 5);
  uLongf packed = compressBound(static_cast<uLong>(raw.size()));
  std::string compressed(packed, '\0');
  if (compress2(reinterpret_cast<Bytef*>(compressed.data()), &packed,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                1) != Z_OK) {
    return {};
  }
  compressed.resize(packed);
  appendPngChunk(file, "IDAT", compressed);
  appendPngChunk(file, "IEND", "");
  return file;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = [] {
    setMsgSeverity(L_SEVERITY_NONE);
    return true;
  }();
  (void)quiet;
  const bool asIs = size > 0 && data[0] >= 0xf0;
  const std::string made = asIs ? std::string() : pngOf(data, size);
  const auto* bytes = asIs ? data : reinterpret_cast<const std::uint8_t*>(made.data());
  const std::size_t length = asIs ? size : made.size();
  const int fd = orvel::fuzz::memoryFileOf(bytes, length, "image");
  if (fd < 0) return 0;
  bool interlaced = false;
  auto stream = PngGrayStream::open(fd, &interlaced);
  if (!stream) {
    ::close(fd);
    return 0;
  }
  const int width = stream->width();
  const int height = stream->height();
  const int band = 97;
  // A wide picture is read in a few bands only: the cost of each is its width.
  const int bands = std::min((height + band - 1) / band, 4);
  for (int pass = 0; pass < 2; ++pass) {
    for (int i = 0; i < bands; ++i) {
      const orvel::platform::PixelRect rect{i * 3, i * band - (i > 0 ? 16 : 0), width, band};
      const PixPtr pix = stream->pixels(rect);
      if (!pix) break;
      const int right = std::min(rect.x + rect.width, width);
      const int bottom = std::min(rect.y + rect.height, height);
      if (pixGetWidth(pix.get()) != right - std::max(rect.x, 0) ||
          pixGetHeight(pix.get()) != bottom - std::max(rect.y, 0)) {
        std::abort();
      }
    }
  }
  return 0;
}
