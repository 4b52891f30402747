#include "pointer_rest.h"

#include <cmath>

namespace orvel::scroll {

std::optional<Point> pointerRestingPlace(const Rect& window, const Rect& region) {
  const Rect r = region.standardized();
  const Point c = r.center();
  const Point candidates[] = {{c.x, r.maxY() + kCursorReach},
                              {r.maxX() + kCursorReach, c.y},
                              {c.x, r.y - kCursorReach},
                              {r.x - kCursorReach, c.y}};
  for (const Point& p : candidates) {
    // Whole points, as the pointer moves, still inside the window.
    const Point whole{std::floor(p.x), std::floor(p.y)};
    if (window.contains(whole)) return whole;
  }
  return std::nullopt;
}

}  // namespace orvel::scroll
