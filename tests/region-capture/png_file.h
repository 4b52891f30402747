// Reads an 8-bit RGBA or RGB PNG file back with libpng, as straight RGBA, with its pHYs
// resolution.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace orvel::region::testing {

struct DecodedPng {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
  std::optional<std::uint32_t> pixelsPerMetre;
  std::uint32_t at(int x, int y) const {
    const std::uint8_t* p = rgba.data() + (static_cast<std::size_t>(y) * width + x) * 4;
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
  }
};

inline std::optional<DecodedPng> readPng(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::nullopt;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  DecodedPng out;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    return std::nullopt;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  const int colorType = png_get_color_type(png, info);
  if (png_get_bit_depth(png, info) != 8 ||
      (colorType != PNG_COLOR_TYPE_RGBA && colorType != PNG_COLOR_TYPE_RGB)) {
    png_error(png, "not 8-bit RGBA or RGB");
  }
  // Opaque pictures may be stored without alpha: read back as opaque RGBA.
  if (colorType == PNG_COLOR_TYPE_RGB) png_set_filler(png, 0xff, PNG_FILLER_AFTER);
  out.width = static_cast<int>(png_get_image_width(png, info));
  out.height = static_cast<int>(png_get_image_height(png, info));
  png_uint_32 xRes = 0, yRes = 0;
  int unit = 0;
  if (png_get_pHYs(png, info, &xRes, &yRes, &unit) && unit == PNG_RESOLUTION_METER &&
      xRes == yRes) {
    out.pixelsPerMetre = xRes;
  }
  out.rgba.resize(static_cast<std::size_t>(out.width) * out.height * 4);
  for (int y = 0; y < out.height; ++y)
    rows.push_back(out.rgba.data() + static_cast<std::size_t>(y) * out.width * 4);
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  std::fclose(file);
  return out;
}

// A sim picture's pixel as straight RGBA, the way the file stores it.
inline std::uint32_t rgbaOf(std::uint32_t bgra) {
  const std::uint32_t b = bgra & 0xff, g = (bgra >> 8) & 0xff, r = (bgra >> 16) & 0xff,
                      a = bgra >> 24;
  return r << 24 | g << 16 | b << 8 | a;
}

}  // namespace orvel::region::testing
