// Background pictures for the test desktop: gradients crossed by stripes, different per seed, so
// that a misplaced, mis-scaled or mis-ordered pixel shows.
#pragma once

#include <png.h>

#include <cstdint>
#include <vector>

namespace orvel::waylandtest {

inline std::vector<std::uint8_t> patternPng(int width, int height, int seed) {
  std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = rgba.data() + (static_cast<std::size_t>(y) * width + x) * 4;
      const bool stripe = ((x / 16) + (y / 16) + seed) % 5 == 0;
      p[0] = static_cast<std::uint8_t>(stripe ? 255 : (x * 255 / width));
      p[1] = static_cast<std::uint8_t>((y * 255 / height + seed * 60) & 0xff);
      p[2] = static_cast<std::uint8_t>(stripe ? 0 : 128 + seed * 40);
      p[3] = 255;
    }
  }
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&image, nullptr, &size, 0, rgba.data(), 0, nullptr);
  std::vector<std::uint8_t> out(size);
  if (!png_image_write_to_memory(&image, out.data(), &size, 0, rgba.data(), 0, nullptr)) return {};
  out.resize(size);
  return out;
}

}  // namespace orvel::waylandtest
