// The recognizer on Tesseract's LSTM engine, tuned for screenshots rather than scans.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "language_catalog.h"
#include "platform/text_recognizer.h"

namespace tesseract {
class TessBaseAPI;
}

namespace orvel::ocr {

struct TesseractSettings {
  std::string dataDirectory;  // where the ".traineddata" files are
  std::string locale;         // ICU locale name for display names and automatic detection
};

class TesseractRecognizer : public platform::TextRecognizer {
 public:
  explicit TesseractRecognizer(TesseractSettings settings);
  ~TesseractRecognizer() override;

  // TESSDATA_PREFIX when set, otherwise the directory found when the helper was built; the ICU
  // default locale, which follows LC_ALL, LC_MESSAGES and LANG.
  static TesseractSettings defaultSettings();

  platform::RecognizerResult<std::vector<std::string>> supportedRecognitionLanguages() override;
  std::optional<std::string> displayName(const std::string& identifier) override;
  void setAutomaticallyDetectsLanguage(bool enabled) override;
  void setRecognitionLanguages(const std::vector<std::string>& identifiers) override;
  std::unique_ptr<platform::RecognitionImage> readImage(const std::string& path) override;
  std::unique_ptr<platform::RecognitionImage> crop(const platform::RecognitionImage& image,
                                                   const platform::PixelRect& rect) override;
  platform::RecognizerResult<std::vector<platform::TextObservation>> recognize(
      const platform::RecognitionImage& image) override;

 private:
  const LanguageCatalog* catalog();
  std::optional<platform::RecognizerFailure> start();

  TesseractSettings settings_;
  std::optional<LanguageCatalog> catalog_;
  bool automatic_ = false;
  std::vector<std::string> languages_;
  std::unique_ptr<tesseract::TessBaseAPI> api_;
  bool started_ = false;
  // Every loaded language is written left to right: lines are read without the bidirectional
  // reordering, whose walk is a noticeable share of the work on dense pages.
  bool leftToRightOnly_ = false;
};

}  // namespace orvel::ocr
