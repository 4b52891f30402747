// The text-recognition engine as the helper sees it: one configured recognizer per run, reused for
// every band of an image. Tests put a scripted engine behind the same interface. One thread at
// a time calls a recognizer.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "orvel/common/failure.h"
#include "orvel/common/geometry.h"

namespace orvel::platform {

// A failure that the engine describes in its own words.
using RecognizerFailure = Failure;

template <typename T>
using RecognizerResult = std::variant<T, RecognizerFailure>;

// A decoded picture, opaque except for its size in pixels.
class RecognitionImage {
 public:
  virtual ~RecognitionImage() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
};

// Pixel rectangle with its origin at the top-left corner of the image.
struct PixelRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

struct TextObservation {
  // Normalized to the recognized image (0 to 1), origin at the bottom-left corner.
  Rect boundingBox;
  // The best candidate's text; absent when the engine has no candidate for the line.
  std::optional<std::string> topCandidate;
};

class TextRecognizer {
 public:
  virtual ~TextRecognizer() = default;

  // Language identifiers (BCP-47 tags) in the engine's order of preference.
  virtual RecognizerResult<std::vector<std::string>> supportedRecognitionLanguages() = 0;
  // The identifier's name in the user's locale; absent when the locale has none.
  virtual std::optional<std::string> displayName(const std::string& identifier) = 0;

  // The engine picks the language itself.
  virtual void setAutomaticallyDetectsLanguage(bool enabled) = 0;
  virtual void setRecognitionLanguages(const std::vector<std::string>& identifiers) = 0;

  // The first picture of the file; null when the file is not a readable image.
  virtual std::unique_ptr<RecognitionImage> readImage(const std::string& path) = 0;
  // A copy of one rectangle of the image; null when it cannot be cropped.
  virtual std::unique_ptr<RecognitionImage> crop(const RecognitionImage& image,
                                                 const PixelRect& rect) = 0;
  // Text lines of the image, in the engine's order.
  virtual RecognizerResult<std::vector<TextObservation>> recognize(
      const RecognitionImage& image) = 0;
};

}  // namespace orvel::platform
