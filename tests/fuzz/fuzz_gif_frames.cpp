// The walk over a GIF's blocks that sizes its frames before any decoding.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "gif_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto frames =
      orvel::ocr::readGifFrames([&](std::uint64_t at, std::uint8_t* out, std::size_t want) {
        const std::size_t n = at < size ? std::min(want, size - static_cast<std::size_t>(at)) : 0;
        if (n > 0) std::memcpy(out, data + at, n);
        return n;
      });
  // Each frame takes at least its 10 header bytes.
  if (frames && frames->count > static_cast<int>(size / 10)) std::abort();
  return 0;
}
