// Frames of a scrolling capture joined into one tall page: each frame adds the rows its moving band
// revealed, inserted above the fixed footer, so that a fixed header and footer appear once, at the
// page's top and bottom. Frames are premultiplied BGRA of one region (equal sizes), rows top to
// bottom, in the order they were taken.
//
// Pure logic, no I/O; one thread at a time.
#pragma once

#include <cstdint>
#include <vector>

#include "orvel/common/image.h"
#include "orvel/stitching/frame_overlap.h"

namespace orvel::stitching {

class PageStitcher {
 public:
  explicit PageStitcher(const ImageView& first);

  // Adds the frame taken after the view was asked to scroll by `expectedShift` rows. A frame whose
  // size differs from the first one's is refused: `matched` false and nothing added.
  FrameOverlap add(const ImageView& next, int expectedShift);

  int width() const { return width_; }
  int height() const { return static_cast<int>(pixels_.size() / rowBytes()); }
  int frames() const { return frames_; }
  // The page so far, packed rows.
  ImageView view() const { return {pixels_.data(), width_, height(), rowBytes()}; }
  Image image() const;

 private:
  std::size_t rowBytes() const { return static_cast<std::size_t>(width_) * 4; }

  int width_ = 0;
  int frameHeight_ = 0;
  int frames_ = 0;
  std::vector<std::uint8_t> pixels_;
  std::vector<std::uint64_t> lastRows_;
};

}  // namespace orvel::stitching
