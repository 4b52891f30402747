// The text-recognition engine as the helper sees it: one configured recognizer per run, reused for
// every band of an image, with one or more engines inside. Tests put a scripted engine behind the
// same interface. One thread at a time calls a recognizer; it runs its engines on threads of its
// own and returns once they are done.
#pragma once

#include <array>
#include <cstdint>
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

  // Recognition in parts on several engines at once. Before any of the calls below: engines 0 to
  // count - 1 exist, each loading the language data on its first use.
  virtual void setEngineCount(int count) = 0;
  // The rectangle decoded and prepared for recognition once, to be recognised in parts; null when
  // it cannot be read.
  virtual std::unique_ptr<RecognitionImage> prepare(const RecognitionImage& image,
                                                    const PixelRect& rect) = 0;
  // How many pixels of each grey (0 to 255) each row of a prepared picture holds.
  virtual std::vector<std::array<std::int64_t, 256>> rowHistograms(
      const RecognitionImage& prepared) = 0;
  // Text lines of a rectangle of a prepared picture on one engine, normalized to the rectangle.
  // Calls on different engines may run at once, each engine on one thread at a time.
  virtual RecognizerResult<std::vector<TextObservation>> recognizePart(
      const RecognitionImage& prepared, const PixelRect& part, int engine) = 0;
};

}  // namespace orvel::platform
