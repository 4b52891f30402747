#include "png_gray_reader.h"

#include <leptonica/allheaders.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace orvel::ocr {
namespace {

void silentWarning(png_structp, png_const_charp) {}
[[noreturn]] void silentError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

// Straight grey and alpha, composed on white.
l_uint32 onWhite(png_byte gray, png_byte alpha) {
  return static_cast<l_uint32>((gray * alpha + 255 * (255 - alpha) + 127) / 255);
}

// No C++ object with a destructor lives in this frame: libpng leaves it by longjmp on errors.
Pix* decode(std::FILE* file, bool& interlaced) {
  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, silentError, silentWarning);
  if (png == nullptr) return nullptr;
  png_infop info = png_create_info_struct(png);
  Pix* volatile pix = nullptr;
  png_bytep volatile row = nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png))) {
    std::free(row);
    Pix* failed = pix;
    pixDestroy(&failed);
    png_destroy_read_struct(&png, &info, nullptr);
    return nullptr;
  }
  png_init_io(png, file);
  png_read_info(png, info);
  if (png_get_interlace_type(png, info) != PNG_INTERLACE_NONE) {
    interlaced = true;
    png_error(png, "interlaced");
  }
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  const png_byte colorType = png_get_color_type(png, info);

  png_set_expand(png);
  png_set_strip_16(png);
  if (colorType & PNG_COLOR_MASK_COLOR) png_set_rgb_to_gray_fixed(png, 1, -1, -1);
  if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
  }
  png_read_update_info(png, info);
  if (png_get_rowbytes(png, info) != 2 * static_cast<png_size_t>(width)) png_error(png, "layout");

  pix = pixCreate(static_cast<l_int32>(width), static_cast<l_int32>(height), 8);
  row = static_cast<png_bytep>(std::malloc(2 * static_cast<png_size_t>(width)));
  if (pix == nullptr || row == nullptr) png_error(png, "memory");
  l_uint32* lines = pixGetData(pix);
  const l_int32 wordsPerLine = pixGetWpl(pix);
  for (png_uint_32 y = 0; y < height; ++y) {
    png_read_row(png, row, nullptr);
    l_uint32* line = lines + static_cast<std::size_t>(y) * wordsPerLine;
    for (png_uint_32 x = 0; x < width; ++x) {
      SET_DATA_BYTE(line, x, onWhite(row[2 * x], row[2 * x + 1]));
    }
  }
  png_read_end(png, nullptr);
  std::free(row);
  png_destroy_read_struct(&png, &info, nullptr);
  return pix;
}

}  // namespace

PngGray readPngGray(const std::string& path) {
  PngGray result;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return result;
  bool interlaced = false;
  result.pix.reset(decode(file, interlaced));
  result.interlaced = interlaced;
  std::fclose(file);
  return result;
}

}  // namespace orvel::ocr
