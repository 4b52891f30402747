#include "platform/gnome/frame_pixels.h"

#include <pixman.h>

#include <bit>
#include <memory>

namespace orvel::gnome {

namespace {

// BGRx rows are pixman's x8r8g8b8 on a little-endian machine: pixman copies them with the alpha
// set in one vectorised pass, where a loop of ours costs a frame's worth of time inside the freeze.
bool copiedByPixman(const std::uint8_t* rows, std::size_t stride, Image& out) {
  if constexpr (std::endian::native != std::endian::little) return false;
  if (reinterpret_cast<std::uintptr_t>(rows) % 4 != 0 || stride % 4 != 0) return false;
  using Bits = std::unique_ptr<pixman_image_t, decltype(&pixman_image_unref)>;
  // pixman reads the source of a SRC composite only.
  Bits from(
      pixman_image_create_bits(PIXMAN_x8r8g8b8, out.width(), out.height(),
                               reinterpret_cast<std::uint32_t*>(const_cast<std::uint8_t*>(rows)),
                               static_cast<int>(stride)),
      pixman_image_unref);
  Bits to(pixman_image_create_bits(PIXMAN_a8r8g8b8, out.width(), out.height(),
                                   reinterpret_cast<std::uint32_t*>(out.data()),
                                   static_cast<int>(out.stride())),
          pixman_image_unref);
  if (!from || !to) return false;
  pixman_image_composite32(PIXMAN_OP_SRC, from.get(), nullptr, to.get(), 0, 0, 0, 0, 0, 0,
                           out.width(), out.height());
  return true;
}

}  // namespace

Image opaqueBgra(const std::uint8_t* rows, std::size_t stride, int width, int height,
                 FrameOrder order) {
  Image image = Image::uninitialized(width, height);
  if (order == FrameOrder::kBgr && copiedByPixman(rows, stride, image)) return image;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* in = rows + static_cast<std::size_t>(y) * stride;
    std::uint8_t* out = image.data() + static_cast<std::size_t>(y) * image.stride();
    const int blue = order == FrameOrder::kBgr ? 0 : 2, red = 2 - blue;
    for (int x = 0; x < width; ++x) {
      out[x * 4 + 0] = in[x * 4 + blue];
      out[x * 4 + 1] = in[x * 4 + 1];
      out[x * 4 + 2] = in[x * 4 + red];
      out[x * 4 + 3] = 255;
    }
  }
  return image;
}

}  // namespace orvel::gnome
