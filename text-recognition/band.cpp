#include "band.h"

#include <algorithm>

namespace orvel::ocr {

double Band::centreRow(const Rect& normalizedBox) const {
  return (1.0 - normalizedBox.midY()) * rect.height + rect.y;
}

std::vector<Band> bandsFor(int width, int height) {
  std::vector<Band> bands;
  for (int start = 0; start < height; start += kBandHeight) {
    const int top = std::max(start - kBandOverlap, 0);
    const int bottom = std::min(start + kBandHeight + kBandOverlap, height);
    for (int left = 0; left < width; left += kMaxBandWidth) {
      bands.push_back({start,
                       std::min(start + kBandHeight, height),
                       {left, top, std::min(kMaxBandWidth, width - left), bottom - top}});
    }
  }
  return bands;
}

}  // namespace orvel::ocr
