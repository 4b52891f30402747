// The locked target of a scrolling capture: one window of one running application and the region
// inside it. Rectangles are in global display coordinates (points, origin top-left of the main
// display).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "orvel/common/geometry.h"

namespace orvel::scroll {

// Unit of the synthetic wheel events.
enum class ScrollEventMethod { pixels, lines };

struct MacScrollTarget {
  std::int32_t pid = 0;
  std::string bundleID;
  std::uint32_t windowID = 0;
  Rect windowBounds;
  Rect region;
  Point point;  // centre of `region`, where every synthetic event is aimed
  // Where the pointer is left after a selection and after every scroll, on desktops that cannot
  // put it back where the user had it (pointer_rest.h).
  std::optional<Point> rest;

  // A target, or nothing unless: pid > 0, windowID != 0, a non-empty bundle id, a finite region of
  // positive size, and window bounds that contain the region.
  static std::optional<MacScrollTarget> make(std::int32_t pid,
                                             const std::optional<std::string>& bundleID,
                                             std::uint32_t windowID, const Rect& windowBounds,
                                             const Rect& region);

  // The same window of the same application at exactly the same place.
  bool matches(std::int32_t pid, const std::optional<std::string>& bundleID, std::uint32_t windowID,
               const Rect& bounds) const;
};

}  // namespace orvel::scroll
