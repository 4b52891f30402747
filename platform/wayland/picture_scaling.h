// Parts of screen pictures at another size. Pure logic (pixman).
#pragma once

#include "orvel/common/geometry.h"
#include "orvel/common/image.h"

namespace orvel::wayland {

// The `source` rectangle (pixels of `picture`) scaled to fill width x height; what lies outside
// the picture stays transparent.
Image scaledPart(const Image& picture, const Rect& source, int width, int height);

}  // namespace orvel::wayland
