// The largest pictures the helper decodes, checked from the file's header before any pixel is
// allocated. A streamed PNG holds a window of rows; every other picture is decoded whole in colour
// (four bytes a pixel), so it gets a smaller budget.
#pragma once

#include <cstdint>

namespace orvel::ocr {

inline constexpr std::int64_t kMaxSide = 262'144;
inline constexpr std::int64_t kMaxStreamedPixels = 200'000'000;
inline constexpr std::int64_t kMaxWholePixels = 50'000'000;

inline bool withinImageLimits(std::int64_t width, std::int64_t height, bool streamed) {
  if (width < 1 || height < 1 || width > kMaxSide || height > kMaxSide) return false;
  return width * height <= (streamed ? kMaxStreamedPixels : kMaxWholePixels);
}

}  // namespace orvel::ocr
