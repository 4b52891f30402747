#include "region_composition.h"

#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "frozen_placement.h"
#include "messages.h"

namespace orvel::region {

namespace {

struct PixmanImageDeleter {
  void operator()(pixman_image_t* image) const { pixman_image_unref(image); }
};
using PixmanImage = std::unique_ptr<pixman_image_t, PixmanImageDeleter>;

PixmanImage wrap(const std::uint8_t* data, int width, int height, std::size_t stride) {
  // pixman only reads a source, whatever the constness of its parameter.
  return PixmanImage(pixman_image_create_bits(
      PIXMAN_a8r8g8b8, width, height,
      reinterpret_cast<std::uint32_t*>(const_cast<std::uint8_t*>(data)), static_cast<int>(stride)));
}

bool isWhole(double v) {
  return v == std::floor(v);
}

// An enlargement by a whole factor (or none) repeats pixels exactly; any other ratio is filtered.
bool wholeEnlargement(double sourceSize, double destinationSize) {
  return sourceSize > 0 && isWhole(destinationSize / sourceSize);
}

// First pixel whose centre lies at or after `edge`.
int firstCentreFrom(double edge) {
  return static_cast<int>(std::ceil(edge - 0.5));
}

}  // namespace

Expected<RegionComposition, HelperError> composeRegion(const Rect& region,
                                                       const std::vector<FrozenFrame>& frames) {
  std::vector<const FrozenFrame*> visible;
  for (const auto& frame : frames) {
    if (frame.bounds.intersects(region)) visible.push_back(&frame);
  }
  double u = 1;
  if (!visible.empty()) {
    u = visible.front()->scale;
    for (const auto* frame : visible)
      u = std::max(u, frame->scale);
  }
  const double w = std::trunc(u * region.width);
  const double h = std::trunc(u * region.height);
  if (!(w <= kMaxOutputSide) || !(h <= kMaxOutputSide) || w * h > kMaxOutputPixels) {
    return unexpected(failure(kSelectSmallerRegion));
  }
  const int width = static_cast<int>(w);
  const int height = static_cast<int>(h);
  if (width <= 0 || height <= 0) return unexpected(failure(kCannotAllocatePixels));

  RegionComposition out;
  out.scale = u;
  if (visible.size() == 1 && visible.front()->image) {
    const FrozenFrame& frame = *visible.front();
    const Image& picture = *frame.image;
    const auto placement = FrozenPlacement::make(region, frame.bounds, frame.scale, u);
    // The bitmap the copy below would make is then the frozen pixels themselves: whole source
    // pixels, unscaled, filling it.
    if (placement && placement->destination == Rect{0, 0, w, h}) {
      const Rect& s = placement->source;
      if (s.width == w && s.height == h && isWhole(s.x) && isWhole(s.y) && s.x >= 0 && s.y >= 0 &&
          s.maxX() <= picture.width() && s.maxY() <= picture.height()) {
        out.frozen = frame.image;
        out.pixels = {picture.row(static_cast<int>(s.y)) + static_cast<std::size_t>(s.x) * 4, width,
                      height, picture.stride()};
        return out;
      }
    }
  }
  const std::size_t stride = static_cast<std::size_t>(width) * 4;
  out.memory = PixelBuffer(stride * static_cast<std::size_t>(height));
  if (!out.memory) return unexpected(failure(kCannotAllocatePixels));
  out.pixels = {out.memory.data(), width, height, stride};
  PixmanImage target = wrap(out.memory.data(), width, height, stride);
  if (!target) return unexpected(failure(kCannotAllocatePixels));

  for (const auto* frame : visible) {
    auto placement = FrozenPlacement::make(region, frame->bounds, frame->scale, u);
    if (!placement || !frame->image) return unexpected(failure(kCannotCropFrozenScreen));
    const Image& picture = *frame->image;
    const Rect crop = placement->source.integral().intersection(
        Rect{0, 0, static_cast<double>(picture.width()), static_cast<double>(picture.height())});
    if (crop.isEmpty()) return unexpected(failure(kCannotCropFrozenScreen));
    const int cx = static_cast<int>(crop.x);
    const int cy = static_cast<int>(crop.y);
    const int cw = static_cast<int>(crop.width);
    const int ch = static_cast<int>(crop.height);
    PixmanImage source =
        wrap(picture.row(cy) + static_cast<std::size_t>(cx) * 4, cw, ch, picture.stride());
    if (!source) return unexpected(failure(kCannotCropFrozenScreen));

    // The destination counts from the bitmap's bottom edge; pixman's rows run top to bottom.
    const Rect& d = placement->destination;
    const double dx = d.x;
    const double dy = height - d.maxY();
    if (d.width == cw && d.height == ch && isWhole(dx) && isWhole(dy)) {
      pixman_image_composite32(PIXMAN_OP_SRC, source.get(), nullptr, target.get(), 0, 0, 0, 0,
                               static_cast<int>(dx), static_cast<int>(dy), cw, ch);
      continue;
    }
    const double kx = cw / d.width;
    const double ky = ch / d.height;
    pixman_transform_t transform;
    pixman_transform_init_identity(&transform);
    transform.matrix[0][0] = pixman_double_to_fixed(kx);
    transform.matrix[0][2] = pixman_double_to_fixed(-dx * kx);
    transform.matrix[1][1] = pixman_double_to_fixed(ky);
    transform.matrix[1][2] = pixman_double_to_fixed(-dy * ky);
    pixman_image_set_transform(source.get(), &transform);
    const bool exact = wholeEnlargement(cw, d.width) && wholeEnlargement(ch, d.height);
    pixman_image_set_filter(source.get(), exact ? PIXMAN_FILTER_NEAREST : PIXMAN_FILTER_BILINEAR,
                            nullptr, 0);
    // Edge pixels whose centres fall inside the destination take the nearest source pixels, so
    // neighbouring displays meet without a seam.
    pixman_image_set_repeat(source.get(), PIXMAN_REPEAT_PAD);
    const int x0 = std::max(0, firstCentreFrom(dx));
    const int x1 = std::min(width, firstCentreFrom(dx + d.width));
    const int y0 = std::max(0, firstCentreFrom(dy));
    const int y1 = std::min(height, firstCentreFrom(dy + d.height));
    if (x1 <= x0 || y1 <= y0) continue;
    pixman_image_composite32(PIXMAN_OP_SRC, source.get(), nullptr, target.get(), x0, y0, 0, 0, x0,
                             y0, x1 - x0, y1 - y0);
  }
  return out;
}

}  // namespace orvel::region
