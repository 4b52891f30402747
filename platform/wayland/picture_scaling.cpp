#include "platform/wayland/picture_scaling.h"

#include <pixman.h>

#include <memory>

namespace orvel::wayland {

Image scaledPart(const Image& picture, const Rect& source, int width, int height) {
  Image out(width, height);
  if (picture.empty() || source.width <= 0 || source.height <= 0) return out;
  using Bits = std::unique_ptr<pixman_image_t, decltype(&pixman_image_unref)>;
  Bits from(pixman_image_create_bits(
                PIXMAN_a8r8g8b8, picture.width(), picture.height(),
                reinterpret_cast<std::uint32_t*>(const_cast<std::uint8_t*>(picture.data())),
                static_cast<int>(picture.stride())),
            pixman_image_unref);
  Bits to(pixman_image_create_bits(PIXMAN_a8r8g8b8, width, height,
                                   reinterpret_cast<std::uint32_t*>(out.data()),
                                   static_cast<int>(out.stride())),
          pixman_image_unref);
  // Destination pixels map back onto the source rectangle.
  pixman_f_transform_t f;
  pixman_f_transform_init_scale(&f, source.width / width, source.height / height);
  pixman_f_transform_translate(&f, nullptr, source.x, source.y);
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &f);
  pixman_image_set_transform(from.get(), &t);
  pixman_image_set_filter(from.get(), PIXMAN_FILTER_GOOD, nullptr, 0);
  pixman_image_composite32(PIXMAN_OP_SRC, from.get(), nullptr, to.get(), 0, 0, 0, 0, 0, 0, width,
                           height);
  return out;
}

Image configuredPicture(Image picture, double logicalWidth,
                        const platform::CaptureConfiguration& config) {
  if (!config.sourceRect && picture.width() == config.width && picture.height() == config.height)
    return picture;
  const double scale = logicalWidth > 0 ? picture.width() / logicalWidth : 1;
  const Rect all{0, 0, double(picture.width()), double(picture.height())};
  const Rect source =
      config.sourceRect ? Rect{config.sourceRect->x * scale, config.sourceRect->y * scale,
                               config.sourceRect->width * scale, config.sourceRect->height * scale}
                        : all;
  return scaledPart(picture, source.standardized(), config.width, config.height);
}

}  // namespace orvel::wayland
