#include "png_file.h"

#include <cstring>

#include "orvel/common/file_replacement.h"
#include "png_encoder.h"

namespace orvel::cli {

namespace {
// The helpers' frames carry no resolution; 72 is what the region helper writes for a scale of 1.
constexpr double kDotsPerInch = 72;
}  // namespace

Expected<void, Failure> writePngFile(const ImageView& picture, const std::string& path) {
  // The region helper's encoder: a tall page is written several times as fast as libpng's
  // defaults would, for about the same size.
  const auto png = region::encodePng(picture, kDotsPerInch);
  if (!png) return failed("Cannot encode the picture as PNG.");
  if (auto written = replaceFile(path, *png); !written)
    return failed("Cannot write " + path + ": " + std::strerror(written.error().error));
  return {};
}

}  // namespace orvel::cli
