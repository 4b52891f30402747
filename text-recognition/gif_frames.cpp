#include "gif_frames.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace orvel::ocr {

namespace {

// Sequential reads through a small buffer, so that walking many tiny blocks costs few reads.
class Cursor {
 public:
  explicit Cursor(const ReadAt& read) : read_(read) {}

  // False at the end of the file.
  bool take(std::uint8_t* out, std::size_t size) {
    while (size > 0) {
      if (at_ == filled_ && !refill()) return false;
      const std::size_t n = std::min(size, filled_ - at_);
      std::memcpy(out, buffer_.data() + at_, n);
      at_ += n;
      out += n;
      size -= n;
    }
    return true;
  }
  bool skip(std::size_t size) {
    while (size > 0) {
      if (at_ == filled_ && !refill()) return false;
      const std::size_t n = std::min(size, filled_ - at_);
      at_ += n;
      size -= n;
    }
    return true;
  }
  // Data sub-blocks up to their empty terminator.
  bool skipSubBlocks() {
    std::uint8_t length = 0;
    while (take(&length, 1)) {
      if (length == 0) return true;
      if (!skip(length)) return false;
    }
    return false;
  }

 private:
  bool refill() {
    offset_ += filled_;
    filled_ = read_(offset_, buffer_.data(), buffer_.size());
    at_ = 0;
    return filled_ > 0;
  }
  const ReadAt& read_;
  std::array<std::uint8_t, 4096> buffer_{};
  std::uint64_t offset_ = 0;
  std::size_t filled_ = 0;
  std::size_t at_ = 0;
};

int le16(const std::uint8_t* p) {
  return p[0] | p[1] << 8;
}

std::size_t colourTableBytes(std::uint8_t packed) {
  return (packed & 0x80) ? 3u << ((packed & 7) + 1) : 0;
}

}  // namespace

std::optional<GifFrames> readGifFrames(const ReadAt& read) {
  Cursor in(read);
  std::uint8_t head[13];
  if (!in.take(head, sizeof head)) return std::nullopt;
  if (std::memcmp(head, "GIF87a", 6) != 0 && std::memcmp(head, "GIF89a", 6) != 0) {
    return std::nullopt;
  }
  GifFrames frames;
  frames.screenWidth = le16(head + 6);
  frames.screenHeight = le16(head + 8);
  if (!in.skip(colourTableBytes(head[10]))) return std::nullopt;
  for (;;) {
    std::uint8_t kind = 0;
    if (!in.take(&kind, 1)) return frames;
    switch (kind) {
      case 0x2c: {  // an image: left, top, width, height, flags
        std::uint8_t descriptor[9];
        if (!in.take(descriptor, sizeof descriptor)) return frames;
        const int width = le16(descriptor + 4);
        const int height = le16(descriptor + 6);
        frames.count += 1;
        frames.widestSide = std::max<std::int64_t>({frames.widestSide, width, height});
        frames.totalPixels += static_cast<std::int64_t>(width) * height;
        std::uint8_t codeSize = 0;
        if (!in.skip(colourTableBytes(descriptor[8])) || !in.take(&codeSize, 1) ||
            !in.skipSubBlocks()) {
          return frames;
        }
        break;
      }
      case 0x21: {  // an extension: its label, then data
        std::uint8_t label = 0;
        if (!in.take(&label, 1) || !in.skipSubBlocks()) return frames;
        break;
      }
      case 0x3b:  // the trailer
        return frames;
      default:
        return std::nullopt;
    }
  }
}

}  // namespace orvel::ocr
