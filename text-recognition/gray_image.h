// An 8-bit grey picture that hands out rectangles of rows as Leptonica Pix. Recognition works on
// grey: a tall capture takes one byte a pixel at most, and dark pages are detected and inverted
// cheaply.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/text_recognizer.h"

struct Pix;

namespace orvel::ocr {

struct PixDeleter {
  void operator()(Pix* pix) const;
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

class GrayImage : public platform::RecognitionImage {
 public:
  // The first picture of a PNG, JPEG, TIFF, BMP, GIF or WebP file, transparency composed on white;
  // null when the file cannot be read as one. Non-interlaced PNGs are decoded as they are asked
  // for, so a tall capture is never whole in memory.
  static std::unique_ptr<GrayImage> read(const std::string& path);

  // The rectangle's pixels, clipped to the image; null when it misses the image or the file turns
  // out to be damaged.
  virtual PixPtr pixels(const platform::PixelRect& rect) const = 0;
};

// Turns light-on-dark text into dark-on-light where the engine can find it: every solid dark area
// (a dark page, a dark sidebar, a coloured button) is inverted in place. Dark glyphs on a light
// background are too small or too thin to count as areas and stay as they are.
void invertDarkAreas(Pix* gray);

// How many pixels of each grey each row holds.
std::vector<std::array<std::int64_t, 256>> greyHistogramsPerRow(const Pix* gray);

// Whole picture held in memory.
class GrayPicture : public GrayImage {
 public:
  explicit GrayPicture(PixPtr pix) : pix_(std::move(pix)) {}
  int width() const override;
  int height() const override;
  PixPtr pixels(const platform::PixelRect& rect) const override;

 private:
  PixPtr pix_;
};

}  // namespace orvel::ocr
