#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "gray_image.h"

namespace orvel::ocr {

// A non-interlaced PNG decoded row by row straight into grey as rectangles are asked for, keeping
// only a window of recent rows so that overlapping rectangles taken top to bottom decode each row
// once. A rectangle above the window restarts decoding from the top of the file.
class PngGrayStream : public GrayImage {
 public:
  // Null when the file is not a PNG that can be streamed, or one larger than the streaming limits;
  // `interlaced` tells the files that are sound but cannot be streamed. `fd` is a regular file,
  // read from its start; a stream that opens takes it over (and reads it again to restart).
  static std::unique_ptr<PngGrayStream> open(int fd, bool* interlaced);
  ~PngGrayStream() override;

  int width() const override { return width_; }
  int height() const override { return height_; }
  PixPtr pixels(const platform::PixelRect& rect) const override;

  // Rows kept behind the last one decoded; more than the overlap of consecutive bands.
  static constexpr int kWindowRows = 512;

 private:
  struct Decoder;
  PngGrayStream(int fd, std::unique_ptr<Decoder> decoder, int width, int height);
  static std::unique_ptr<Decoder> openDecoder(int fd, int* width, int* height, bool* interlaced);
  bool restart() const;
  bool decodeNextRow() const;
  int windowTop() const { return std::max(nextRow_ - windowRows_, 0); }

  int fd_;
  int width_ = 0;
  int height_ = 0;
  int windowRows_ = 0;
  // Decoding state changes as rows are read; the picture itself does not.
  mutable std::unique_ptr<Decoder> decoder_;
  mutable int nextRow_ = 0;
  mutable std::vector<std::uint8_t> window_;   // row y in slot y % windowRows_
  mutable std::vector<std::uint8_t> scratch_;  // one decoded grey and alpha row
};

}  // namespace orvel::ocr
