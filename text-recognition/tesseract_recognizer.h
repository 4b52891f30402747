// The recognizer on Tesseract's LSTM engine, tuned for screenshots rather than scans. Several
// engines recognise parts of one image at once, one Tesseract instance each: Tesseract shares the
// dictionaries between instances itself, but each loads its own recognition model.
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

  void setEngineCount(int count) override;
  std::unique_ptr<platform::RecognitionImage> prepare(const platform::RecognitionImage& image,
                                                      const platform::PixelRect& rect) override;
  std::vector<std::array<std::int64_t, 256>> rowHistograms(
      const platform::RecognitionImage& prepared) override;
  platform::RecognizerResult<std::vector<platform::TextObservation>> recognizePart(
      const platform::RecognitionImage& prepared, const platform::PixelRect& part,
      int engine) override;

 private:
  struct Engine;
  const LanguageCatalog* catalog();
  // The "a+b" list of models to load, resolved once before any engine starts.
  const platform::RecognizerResult<std::string>& models();
  // The engine with its models loaded, or why it has none.
  platform::RecognizerResult<tesseract::TessBaseAPI*> start(Engine& engine);

  TesseractSettings settings_;
  std::optional<LanguageCatalog> catalog_;
  bool automatic_ = false;
  std::vector<std::string> languages_;
  std::optional<platform::RecognizerResult<std::string>> models_;
  // Every loaded language is written left to right: lines are read without the bidirectional
  // reordering, whose walk is a noticeable share of the work on dense pages.
  bool leftToRightOnly_ = false;
  // Engine 0 serves recognize(); each engine is used by one thread at a time.
  std::vector<std::unique_ptr<Engine>> engines_;
};

}  // namespace orvel::ocr
