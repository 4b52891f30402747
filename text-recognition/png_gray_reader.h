#pragma once

#include <string>

#include "gray_image.h"

namespace orvel::ocr {

struct PngGray {
  PixPtr pix;  // null when the file could not be decoded here
  bool interlaced = false;
};

// Decodes a non-interlaced PNG row by row straight into 8-bit grey, so a tall capture never exists
// at four bytes a pixel. Interlaced files are left to a whole-image decoder.
PngGray readPngGray(const std::string& path);

}  // namespace orvel::ocr
