#include "gray_image.h"

#include <leptonica/allheaders.h>

#include <algorithm>
#include <array>

#include "png_gray_stream.h"

namespace orvel::ocr {
namespace {

constexpr l_uint32 kWhite = 0xffffff00;
// A dark area is a connected run of pixels below mid-grey, larger than any glyph and mostly solid
// (text holes and light borders inside it are fine).
constexpr l_int32 kDarkBelow = 128;
constexpr l_int32 kMinAreaWidth = 40;
constexpr l_int32 kMinAreaHeight = 16;
constexpr double kMinAreaFill = 0.6;

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

namespace {

// Inverts the area and stretches it so that its background, the most common grey, becomes white:
// a mid-dark background such as a coloured button would otherwise invert to mid-grey, which the
// engine's global threshold turns into a solid block.
void whitenArea(Pix* gray, l_int32 left, l_int32 top, l_int32 width, l_int32 height) {
  l_uint32* data = pixGetData(gray);
  const l_int32 wordsPerLine = pixGetWpl(gray);
  std::array<std::size_t, 256> histogram{};
  for (l_int32 y = top; y < top + height; ++y) {
    const l_uint32* line = data + static_cast<std::size_t>(y) * wordsPerLine;
    for (l_int32 x = left; x < left + width; ++x)
      ++histogram[GET_DATA_BYTE(line, x)];
  }
  std::size_t seen = 0;
  int background = 0;
  while (background < 255 && (seen += histogram[background]) * 2 < std::size_t(width) * height) {
    ++background;
  }
  std::array<l_uint32, 256> map{};
  const int range = std::max(255 - background, 1);
  for (int level = 0; level < 256; ++level)
    map[level] = std::min(255, (255 - level) * 255 / range);
  for (l_int32 y = top; y < top + height; ++y) {
    l_uint32* line = data + static_cast<std::size_t>(y) * wordsPerLine;
    for (l_int32 x = left; x < left + width; ++x) {
      SET_DATA_BYTE(line, x, map[GET_DATA_BYTE(line, x)]);
    }
  }
}

}  // namespace

void invertDarkAreas(Pix* gray) {
  const PixPtr dark(pixThresholdToBinary(gray, kDarkBelow));
  if (!dark) return;
  Boxa* areas = pixConnCompBB(dark.get(), 8);
  if (areas == nullptr) return;
  for (l_int32 i = 0; i < boxaGetCount(areas); ++i) {
    l_int32 x = 0, y = 0, w = 0, h = 0;
    boxaGetBoxGeometry(areas, i, &x, &y, &w, &h);
    if (w < kMinAreaWidth || h < kMinAreaHeight) continue;
    Box* box = boxaGetBox(areas, i, L_CLONE);
    l_int32 count = 0;
    pixCountPixelsInRect(dark.get(), box, &count, nullptr);
    boxDestroy(&box);
    if (count < kMinAreaFill * w * h) continue;
    whitenArea(gray, x, y, w, h);
  }
  boxaDestroy(&areas);
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
