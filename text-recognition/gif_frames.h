// The sizes of a GIF's pictures, read from its block structure without decoding any pixel. The
// decoder keeps every frame of a file at the size its own descriptor gives, which may be far larger
// than the logical screen the header states, so the budget must count the frames themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

namespace orvel::ocr {

struct GifFrames {
  int screenWidth = 0;
  int screenHeight = 0;
  int count = 0;
  std::int64_t widestSide = 0;   // the largest width or height of any frame
  std::int64_t totalPixels = 0;  // the frames' pixels added up
};

// Reads up to `size` bytes at `offset` into `buffer`; fewer only at the end of the file.
using ReadAt =
    std::function<std::size_t(std::uint64_t offset, std::uint8_t* buffer, std::size_t size)>;

// Nothing when the bytes are not a GIF or a block is malformed. A file that ends before its
// trailer counts the frames it holds.
std::optional<GifFrames> readGifFrames(const ReadAt& read);

}  // namespace orvel::ocr
