#include "orvel/stitching/page_stitcher.h"

#include <cstring>

namespace orvel::stitching {

PageStitcher::PageStitcher(const ImageView& first)
    : width_(first.width), frameHeight_(first.height), frames_(1) {
  pixels_.resize(rowBytes() * static_cast<std::size_t>(first.height));
  for (int y = 0; y < first.height; ++y)
    std::memcpy(pixels_.data() + rowBytes() * static_cast<std::size_t>(y), first.row(y),
                rowBytes());
  lastRows_ = rowHashes(first);
}

FrameOverlap PageStitcher::add(const ImageView& next, int expectedShift) {
  if (next.width != width_ || next.height != frameHeight_) return {0, 0, 0, false};
  std::vector<std::uint64_t> rows = rowHashes(next);
  const FrameOverlap overlap = measureOverlap(lastRows_, rows, expectedShift);
  if (overlap.shift > 0) {
    // The page ends with the previous frame's rows below its header; the new rows go above the
    // footer the two frames share.
    const int firstNew = frameHeight_ - overlap.footer - overlap.shift;
    std::vector<std::uint8_t> fresh(rowBytes() * static_cast<std::size_t>(overlap.shift));
    for (int y = 0; y < overlap.shift; ++y)
      std::memcpy(fresh.data() + rowBytes() * static_cast<std::size_t>(y), next.row(firstNew + y),
                  rowBytes());
    const auto at = pixels_.end() - static_cast<std::ptrdiff_t>(
                                        rowBytes() * static_cast<std::size_t>(overlap.footer));
    pixels_.insert(at, fresh.begin(), fresh.end());
  }
  lastRows_ = std::move(rows);
  ++frames_;
  return overlap;
}

Image PageStitcher::image() const {
  Image page = Image::uninitialized(width_, height());
  if (!pixels_.empty()) std::memcpy(page.data(), pixels_.data(), pixels_.size());
  return page;
}

}  // namespace orvel::stitching
