// Screen pictures of a rotated or flipped output. A compositor hands a picture over in the
// output's own orientation (its mode, as the panel scans it out): the layout's content with the
// output's wl_output transform applied. The helpers want it as the layout shows it, upright.
// Pure logic.
#pragma once

#include <cstdint>

#include "orvel/common/image.h"

namespace orvel::wayland {

// Whether `transform` (a wl_output_transform) turns the output a quarter, so that its width and
// height trade places.
bool swapsSides(std::int32_t transform);

// `picture` (in the output's orientation) upright, as the layout shows it; unknown transforms
// leave it as it is.
Image uprightPicture(Image picture, std::int32_t transform);

}  // namespace orvel::wayland
