// The part of a display that a region's frames are read from, and a read frame fitted to the
// picture the capture asked for. Shared by the desktops that read a region of one display at a
// time (screencopy on wlroots, ScreenCast areas on GNOME). Pure logic.
#pragma once

#include <optional>

#include "orvel/common/geometry.h"
#include "orvel/common/image.h"
#include "platform/screen_capture.h"

namespace orvel::wayland {

struct RegionPart {
  Rect wanted;  // the asked source rectangle rounded outwards to whole points
  Rect area;    // the part of it inside the display; empty when none is
};

// For a display of `size` points and the asked source rectangle (points relative to the display;
// absent for the whole display); nothing when the asked rectangle is empty.
std::optional<RegionPart> regionPart(Size size, const std::optional<Rect>& source);

// `frame` (the pixels of `part.area` at `scale` pixels per point) placed where that area lies in
// `part.wanted`, outside it transparent, at the configured size; the frame itself when it is the
// whole of it at that size. When the size asked differs by more than a pixel of rounding from the
// wanted rectangle at `scale` (the display's scale changed since), the picture has the new size,
// so that the caller sees the change.
Image fittedFrame(Image frame, const RegionPart& part, double scale,
                  const platform::CaptureConfiguration& config);

}  // namespace orvel::wayland
