// Tall images are recognised in horizontal bands so that only one band's recognition data exists at
// a time. Each band is widened by an overlap above and below so that lines crossing its edges are
// read whole; a line belongs to the one band whose own stretch holds its vertical centre. Images
// wider than the engine takes are cut across too, into tiles side by side.
#pragma once

#include <vector>

#include "platform/text_recognizer.h"

namespace orvel::ocr {

inline constexpr int kBandHeight = 2400;
inline constexpr int kBandOverlap = 128;
// The engine refuses pictures wider than 32767 pixels.
inline constexpr int kMaxBandWidth = 32000;

struct Band {
  int start = 0;             // first row of the band's own stretch
  int end = 0;               // one past its last row
  platform::PixelRect rect;  // the stretch with the overlap, clipped to the image

  // Whole-image row of an observation's centre, from its box normalized to the band image.
  double centreRow(const Rect& normalizedBox) const;
  bool owns(double row) const { return start <= row && row < end; }
};

// No bands for an image less than one pixel high or wide.
std::vector<Band> bandsFor(int width, int height);

}  // namespace orvel::ocr
