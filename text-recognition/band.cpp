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
    bands.push_back({start, std::min(start + kBandHeight, height), {0, top, width, bottom - top}});
  }
  return bands;
}

}  // namespace orvel::ocr
