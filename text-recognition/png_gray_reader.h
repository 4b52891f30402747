#pragma once

#include <string>

#include "gray_image.h"

namespace orvel::ocr {

// Decodes a non-interlaced PNG row by row straight into 8-bit grey, so a tall capture never exists
// at four bytes a pixel. Null when the file is not such a PNG.
PixPtr readPngGray(const std::string& path);

}  // namespace orvel::ocr
