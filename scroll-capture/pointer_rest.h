// Where the pointer is left after a scroll on desktops that cannot put it back where the user had
// it (Wayland): compositors without a hardware cursor plane draw its image into the region's
// frames, and a picture of it over the moving content breaks the stitch. The place is inside the
// target window, so that a session whose focus follows the pointer keeps the target focused, and
// far enough from the region that no cursor image reaches into it: below the region, else right of
// it, above it, left of it. Global display coordinates (points). Pure logic; any thread.
#pragma once

#include <optional>

#include "orvel/common/geometry.h"

namespace orvel::scroll {

// How far a cursor image may reach from its hot spot in any direction: a 24-point cursor whose
// hot spot lies anywhere in it (the text beam's sits in its middle), with room to spare.
inline constexpr double kCursorReach = 32;

// Nothing when the window leaves no such room around the region: the pointer then stays where the
// wheel turned.
std::optional<Point> pointerRestingPlace(const Rect& window, const Rect& region);

}  // namespace orvel::scroll
