// The BMP variants that Leptonica's reader refuses, rewritten as the plain kind it reads: pictures
// run-length encoded at 4 or 8 bits a pixel, and those with the old 12-byte core header (OS/2 1.x)
// at 1, 4, 8 or 24 bits.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orvel::ocr {

// Whether the file's headers name one of the variants above.
bool needsPlainBmp(std::span<const std::uint8_t> file);

// The same picture as an uncompressed BMP with a 40-byte header: run-length pictures as 8-bit
// indices (pixels that the runs skip take index 0), core pictures with their palette widened.
// Absent when the file is not such a variant or is damaged; runs past a row's end or the
// picture's last row are dropped.
std::optional<std::vector<std::uint8_t>> plainBmp(std::span<const std::uint8_t> file);

}  // namespace orvel::ocr
