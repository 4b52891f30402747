#include "platform/wayland/pixel_rows.h"

#include <wayland-client-protocol.h>

#include <cstring>

namespace orvel::wayland {

namespace {

// Little-endian words: XRGB/ARGB are B,G,R,(X|A) in memory, XBGR/ABGR are R,G,B,(X|A).
void copyRow(const std::uint8_t* in, std::uint8_t* out, int width, bool swapRedBlue, bool opaque) {
  if (!swapRedBlue && !opaque) {
    std::memcpy(out, in, static_cast<std::size_t>(width) * 4);
    return;
  }
  for (int x = 0; x < width; ++x, in += 4, out += 4) {
    out[0] = swapRedBlue ? in[2] : in[0];
    out[1] = in[1];
    out[2] = swapRedBlue ? in[0] : in[2];
    out[3] = opaque ? 0xFF : in[3];
  }
}

}  // namespace

bool isSupportedShmFormat(std::uint32_t format) {
  return format == WL_SHM_FORMAT_XRGB8888 || format == WL_SHM_FORMAT_ARGB8888 ||
         format == WL_SHM_FORMAT_XBGR8888 || format == WL_SHM_FORMAT_ABGR8888;
}

bool convertShmPicture(const std::uint8_t* data, int width, int height, std::size_t stride,
                       std::uint32_t format, bool yInvert, Image& out) {
  if (!isSupportedShmFormat(format) || out.width() != width || out.height() != height ||
      stride < static_cast<std::size_t>(width) * 4) {
    return false;
  }
  const bool swap = format == WL_SHM_FORMAT_XBGR8888 || format == WL_SHM_FORMAT_ABGR8888;
  const bool opaque = format == WL_SHM_FORMAT_XRGB8888 || format == WL_SHM_FORMAT_XBGR8888;
  for (int y = 0; y < height; ++y) {
    const int from = yInvert ? height - 1 - y : y;
    copyRow(data + static_cast<std::size_t>(from) * stride, out.row(y), width, swap, opaque);
  }
  return true;
}

}  // namespace orvel::wayland
