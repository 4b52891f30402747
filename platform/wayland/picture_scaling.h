// Parts of screen pictures at another size. Pure logic (pixman).
#pragma once

#include "orvel/common/geometry.h"
#include "orvel/common/image.h"
#include "platform/screen_capture.h"

namespace orvel::wayland {

// The `source` rectangle (pixels of `picture`) scaled to fill width x height; what lies outside
// the picture stays transparent.
Image scaledPart(const Image& picture, const Rect& source, int width, int height);

// What `config` asks of a whole output's `picture`, the output being `logicalWidth` points wide:
// its source rectangle (points relative to the output) at the configured size; the picture itself
// when it asks for all of it at its own size.
Image configuredPicture(Image picture, double logicalWidth,
                        const platform::CaptureConfiguration& config);

}  // namespace orvel::wayland
