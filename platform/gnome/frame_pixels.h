// A screen-cast frame's rows as the opaque BGRA pictures the helpers use. Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvel/common/image.h"

namespace orvel::gnome {

// The byte order of a frame's pixels: B, G, R then padding or alpha (BGRx, BGRA), or R, G, B
// then padding or alpha (RGBx, RGBA).
enum class FrameOrder { kBgr, kRgb };

// `width` x `height` pixels of `rows` (`stride` bytes apart) as an opaque BGRA picture: the
// fourth byte of every pixel becomes 255, whatever it held.
Image opaqueBgra(const std::uint8_t* rows, std::size_t stride, int width, int height,
                 FrameOrder order);

}  // namespace orvel::gnome
