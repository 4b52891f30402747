#include "gray_image.h"

#include <leptonica/allheaders.h>

#include "png_gray_stream.h"

namespace orvel::ocr {
namespace {

constexpr l_uint32 kWhite = 0xffffff00;
// Every second pixel of every second row is plenty to tell a dark page from a light one.
constexpr l_int32 kHistogramStep = 2;

PixPtr toGray(PixPtr pix) {
  if (!pix) return nullptr;
  // Leptonica's depth conversion ignores the palette of 1-bit images (GIF, BMP); apply it first.
  if (pixGetColormap(pix.get()) != nullptr) {
    pix.reset(pixRemoveColormap(pix.get(), REMOVE_CMAP_TO_GRAYSCALE));
    if (!pix) return nullptr;
  }
  if (pixGetDepth(pix.get()) == 8) return pix;
  if (pixGetDepth(pix.get()) == 32 && pixGetSpp(pix.get()) == 4) {
    pix.reset(pixAlphaBlendUniform(pix.get(), kWhite));
    if (!pix) return nullptr;
  }
  return PixPtr(pixConvertTo8(pix.get(), 0));
}

}  // namespace

void PixDeleter::operator()(Pix* pix) const {
  pixDestroy(&pix);
}

std::unique_ptr<GrayImage> GrayImage::read(const std::string& path) {
  l_int32 format = IFF_UNKNOWN;
  if (findFileFormat(path.c_str(), &format) != 0 || format == IFF_UNKNOWN) return nullptr;
  if (format == IFF_PNG) {
    bool interlaced = false;
    if (auto stream = PngGrayStream::open(path, &interlaced)) return stream;
    if (!interlaced) return nullptr;
  }
  // Interlaced PNGs and every other format are decoded whole, in full colour first.
  PixPtr pix = toGray(PixPtr(pixRead(path.c_str())));
  if (!pix) return nullptr;
  return std::make_unique<GrayPicture>(std::move(pix));
}

bool isDark(Pix* gray) {
  Numa* histogram = pixGetGrayHistogram(gray, kHistogramStep);
  if (histogram == nullptr) return false;
  l_float32 total = 0;
  numaGetSum(histogram, &total);
  l_float32 below = 0;
  for (l_int32 level = 0; level < 128; ++level) {
    l_float32 count = 0;
    numaGetFValue(histogram, level, &count);
    below += count;
  }
  numaDestroy(&histogram);
  return below * 2 > total;
}

int GrayPicture::width() const {
  return pixGetWidth(pix_.get());
}
int GrayPicture::height() const {
  return pixGetHeight(pix_.get());
}

PixPtr GrayPicture::pixels(const platform::PixelRect& rect) const {
  Box* box = boxCreateValid(rect.x, rect.y, rect.width, rect.height);
  if (box == nullptr) return nullptr;
  PixPtr clip(pixClipRectangle(pix_.get(), box, nullptr));
  boxDestroy(&box);
  return clip;
}

}  // namespace orvel::ocr
