// Where the part of a region that lies on one display comes from in that display's frozen picture,
// and where it goes in the output bitmap.
#pragma once

#include <optional>

#include "orvel/common/geometry.h"

namespace orvel::region {

struct FrozenPlacement {
  // Pixels of the frozen picture, origin at its top-left corner, y down.
  Rect source;
  // Pixels of the output bitmap, origin at its bottom-left corner, y up.
  Rect destination;

  // None when the scales are unusable (the display's above the output's), the region is empty,
  // or the region does not overlap the display by a positive area. Nothing is rounded.
  static std::optional<FrozenPlacement> make(const Rect& region, const Rect& display,
                                             double backing, double outputScale);
};

}  // namespace orvel::region
