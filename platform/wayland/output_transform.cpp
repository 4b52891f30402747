#include "platform/wayland/output_transform.h"

#include <wayland-client-protocol.h>

#include <cstring>

namespace orvel::wayland {

bool swapsSides(std::int32_t transform) {
  return transform == WL_OUTPUT_TRANSFORM_90 || transform == WL_OUTPUT_TRANSFORM_270 ||
         transform == WL_OUTPUT_TRANSFORM_FLIPPED_90 ||
         transform == WL_OUTPUT_TRANSFORM_FLIPPED_270;
}

namespace {

// Where the upright pixel (x, y) of a width x height picture lies in the output's picture: the
// transform flips first (x mirrored), then turns counter-clockwise.
struct Source {
  int x, y;
};

Source sourceOf(std::int32_t transform, int x, int y, int width, int height) {
  switch (transform) {
    case WL_OUTPUT_TRANSFORM_90:
      return {y, width - 1 - x};
    case WL_OUTPUT_TRANSFORM_180:
      return {width - 1 - x, height - 1 - y};
    case WL_OUTPUT_TRANSFORM_270:
      return {height - 1 - y, x};
    case WL_OUTPUT_TRANSFORM_FLIPPED:
      return {width - 1 - x, y};
    case WL_OUTPUT_TRANSFORM_FLIPPED_90:
      return {y, x};
    case WL_OUTPUT_TRANSFORM_FLIPPED_180:
      return {x, height - 1 - y};
    case WL_OUTPUT_TRANSFORM_FLIPPED_270:
      return {height - 1 - y, width - 1 - x};
    default:
      return {x, y};
  }
}

bool known(std::int32_t transform) {
  return transform > WL_OUTPUT_TRANSFORM_NORMAL && transform <= WL_OUTPUT_TRANSFORM_FLIPPED_270;
}

}  // namespace

Image uprightPicture(Image picture, std::int32_t transform) {
  if (!known(transform) || picture.empty()) return picture;
  const bool swap = swapsSides(transform);
  const int width = swap ? picture.height() : picture.width();
  const int height = swap ? picture.width() : picture.height();
  Image out = Image::uninitialized(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* to = out.row(y);
    for (int x = 0; x < width; ++x) {
      const Source s = sourceOf(transform, x, y, width, height);
      std::memcpy(to + x * 4, picture.row(s.y) + s.x * 4, 4);
    }
  }
  return out;
}

}  // namespace orvel::wayland
