// The engine's global threshold for a grey picture, worked out as it does (Otsu's method over the
// picture's histogram). A part of a picture is binarized exactly as the whole picture only when
// both come out with the same threshold; cuts are chosen so that they do.
#pragma once

#include <array>
#include <cstdint>

namespace orvel::ocr {

using Histogram = std::array<std::int64_t, 256>;

struct Binarization {
  int threshold = -1;
  int hiValue = -1;  // 1: greys above the threshold are background; 0: they are foreground
  friend bool operator==(const Binarization&, const Binarization&) = default;
};

Binarization binarizationOf(const Histogram& histogram);

}  // namespace orvel::ocr
