// PNG files from premultiplied BGRA pixels: 8-bit straight RGBA with the resolution in a pHYs
// chunk. Tuned for screen pictures, which the user waits for: one fixed row filter and a fast
// deflate level instead of per-row filter trials, and bands of rows filtered and compressed on
// every core (up to four) at once.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "orvel/common/image.h"

namespace orvel::region {

enum class PngFilter : std::uint8_t { None = 0, Sub = 1, Up = 2, Average = 3, Paeth = 4 };

// Chosen by measurement on desktop pictures (bench/region-capture): Sub with libdeflate level 2
// is about 7 times as fast as libpng's defaults for a file about as large (1.04 times).
struct PngSettings {
  PngFilter filter = PngFilter::Sub;
  int level = 2;  // libdeflate compression level
};

// The whole file; none when the picture is empty or too large for the format.
std::optional<std::vector<std::uint8_t>> encodePng(const ImageView& premultipliedBgra,
                                                   double dotsPerInch, PngSettings settings = {});

// Pixels per metre for a resolution in dots per inch, rounded, as pHYs stores it.
std::uint32_t pixelsPerMetre(double dotsPerInch);

}  // namespace orvel::region
