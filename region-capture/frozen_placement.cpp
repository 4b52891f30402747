#include "frozen_placement.h"

#include <cmath>

namespace orvel::region {

std::optional<FrozenPlacement> FrozenPlacement::make(const Rect& region, const Rect& display,
                                                     double backing, double outputScale) {
  const double b = backing;
  const double o = outputScale;
  if (!std::isfinite(b) || !std::isfinite(o) || !(b > 0) || !(b <= o)) return std::nullopt;
  if (!(region.width > 0) || !(region.height > 0)) return std::nullopt;
  const Rect t = region.intersection(display);
  if (t.isNull() || !(t.width > 0) || !(t.height > 0)) return std::nullopt;
  return FrozenPlacement{
      {(t.minX() - display.minX()) * b, (t.minY() - display.minY()) * b, t.width * b, t.height * b},
      {(t.minX() - region.minX()) * o, (region.maxY() - t.maxY()) * o, t.width * o, t.height * o},
  };
}

}  // namespace orvel::region
