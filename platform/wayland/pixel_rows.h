// Screen pictures as compositors hand them over in wl_shm buffers, turned into the helpers'
// premultiplied BGRA rows top to bottom. Pure logic.
#pragma once

#include <cstddef>
#include <cstdint>

#include "orvel/common/image.h"

namespace orvel::wayland {

// The wl_shm formats pictures arrive in (XRGB/ARGB/XBGR/ABGR 8888).
bool isSupportedShmFormat(std::uint32_t format);

// Copies a `width` x `height` picture of `format` whose rows are `stride` bytes apart into `out`
// (of that size). `yInvert`: the rows arrive bottom to top. False for an unsupported format.
bool convertShmPicture(const std::uint8_t* data, int width, int height, std::size_t stride,
                       std::uint32_t format, bool yInvert, Image& out);

}  // namespace orvel::wayland
