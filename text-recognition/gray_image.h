// An 8-bit grey picture held as a Leptonica Pix. Recognition works on grey: the whole of a tall
// capture then takes one byte a pixel, and dark pages are detected and inverted cheaply.
#pragma once

#include <memory>
#include <string>

#include "platform/text_recognizer.h"

struct Pix;

namespace orvel::ocr {

struct PixDeleter {
  void operator()(Pix* pix) const;
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

class GrayImage : public platform::RecognitionImage {
 public:
  explicit GrayImage(PixPtr pix) : pix_(std::move(pix)) {}

  // The first picture of a PNG, JPEG, TIFF, BMP, GIF or WebP file, transparency composed on white;
  // null when the file cannot be read as one.
  static std::unique_ptr<GrayImage> read(const std::string& path);

  int width() const override;
  int height() const override;
  Pix* pix() const { return pix_.get(); }

  // Null when the rectangle misses the image.
  std::unique_ptr<GrayImage> crop(const platform::PixelRect& rect) const;
  // Light text on a dark background: the median grey is below mid-grey.
  bool isDark() const;
  void invert();

 private:
  PixPtr pix_;
};

}  // namespace orvel::ocr
