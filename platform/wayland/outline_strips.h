// Where a stroked rectangle lies in a panel's buffer: the four strips along its edges, in buffer
// pixels (origin top-left, y down), widened for antialiasing and clipped to the buffer. A drag
// repaints only these, from the still picture, for the old outline and the new. Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "orvel/common/geometry.h"

namespace orvel::wayland {

struct PixelBox {
  int x = 0, y = 0, width = 0, height = 0;
  friend bool operator==(const PixelBox&, const PixelBox&) = default;
};

// `stroke` in view coordinates (points, origin bottom-left, y up) of a view `viewHeight` points
// tall drawn at `scale` pixels per point into a `bufferWidth` x `bufferHeight` buffer.
std::vector<PixelBox> outlineStrips(const Rect& stroke, double lineWidth, double viewHeight,
                                    double scale, int bufferWidth, int bufferHeight);

// Copies `box` from one 32-bit picture to another of the same size and row stride.
void copyBox(const std::uint8_t* from, std::uint8_t* to, std::size_t stride, const PixelBox& box);

}  // namespace orvel::wayland
