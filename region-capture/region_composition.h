// The selected region cut out of the frozen pictures and composed into one bitmap at the highest
// backing scale among the displays it covers. Parts no display covers stay transparent.
#pragma once

#include <memory>
#include <vector>

#include "frozen_frame.h"
#include "helper_error.h"
#include "orvel/common/expected.h"
#include "orvel/common/image.h"
#include "pixel_buffer.h"

namespace orvel::region {

inline constexpr int kMaxOutputSide = 16384;
inline constexpr long long kMaxOutputPixels = 50'000'000;

struct RegionComposition {
  PixelBuffer memory;
  // When one frozen picture holds the whole region pixel for pixel, the pixels are read from it
  // in place instead of copied.
  std::shared_ptr<const Image> frozen;
  ImageView pixels;  // premultiplied BGRA, in `memory` or `frozen`
  double scale = 1;
};

Expected<RegionComposition, HelperError> composeRegion(const Rect& region,
                                                       const std::vector<FrozenFrame>& frames);

}  // namespace orvel::region
