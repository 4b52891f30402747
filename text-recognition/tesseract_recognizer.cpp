#include "tesseract_recognizer.h"

#include <leptonica/allheaders.h>
#if ORVEL_OCR_ENGINE_OPENMP
#include <omp.h>
#endif
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>
#include <unicode/locid.h>

#include <malloc.h>

#include <cstdlib>

#include "gray_image.h"
#include "messages.h"
#include "traineddata_tag.h"

#ifndef ORVEL_TESSDATA_DIR
#error "ORVEL_TESSDATA_DIR names the directory of the installed language data"
#endif

namespace orvel::ocr {
namespace {

using platform::RecognizerFailure;
using platform::TextObservation;

// Screenshots carry no resolution, and Tesseract's fallback of 70 pixels an inch made its layout
// analysis markedly slower on interface text. Screens draw text for about 96 to 192 pixels an inch
// (standard and double density); 144 sits between them and reads both as well as either end does.
constexpr int kScreenResolution = 144;

// Allocations from this size up get pages of their own.
constexpr int kMapThreshold = 256 * 1024;

// Tesseract's own inversion is kept for the light text that dark-area whitening misses (light
// fields inside a whitened dark panel). Paragraphs are found from the layout before recognition
// rather than from the text after it: the helper orders lines itself, and the text-based pass
// reads every line through the result iterator again (3% of a dense band's work).
const std::vector<std::string> kVariableNames = {"tessedit_do_invert", "paragraph_text_based"};
const std::vector<std::string> kVariableValues = {"1", "0"};

std::string trimmed(const char* text) {
  std::string line = text == nullptr ? "" : text;
  while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
    line.pop_back();
  return line;
}

// Appends one observation per text line that the iterator visits.
template <typename Lines>
void readLines(Lines& lines, double width, double height,
               std::vector<TextObservation>& observations) {
  do {
    if (lines.Empty(tesseract::RIL_TEXTLINE)) continue;
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!lines.BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom)) continue;
    const std::unique_ptr<char[]> text(lines.GetUTF8Text(tesseract::RIL_TEXTLINE));
    std::string line = trimmed(text.get());
    TextObservation observation;
    observation.boundingBox = {left / width, 1.0 - bottom / height, (right - left) / width,
                               (bottom - top) / height};
    if (!line.empty()) observation.topCandidate = std::move(line);
    observations.push_back(std::move(observation));
  } while (lines.Next(tesseract::RIL_TEXTLINE));
}

}  // namespace

TesseractRecognizer::TesseractRecognizer(TesseractSettings settings)
    : settings_(std::move(settings)), api_(std::make_unique<tesseract::TessBaseAPI>()) {
#if ORVEL_OCR_ENGINE_OPENMP
  // No active parallel level: every OpenMP region runs on this thread and no pool is started.
  // Unlike OMP_THREAD_LIMIT this takes effect after the runtime has loaded, with no re-exec.
  omp_set_max_active_levels(0);
#endif
  // The helper's only output is its JSON object; the libraries' diagnostics go nowhere.
  setMsgSeverity(L_SEVERITY_NONE);
  api_->SetVariable("debug_file", "/dev/null");
  // Picture buffers are megabytes each; mapping them separately hands them back to the system when
  // a band is done instead of leaving a fragmented heap that grows band after band.
  mallopt(M_MMAP_THRESHOLD, kMapThreshold);
}

TesseractRecognizer::~TesseractRecognizer() = default;

TesseractSettings TesseractRecognizer::defaultSettings() {
  const char* prefix = std::getenv("TESSDATA_PREFIX");
  return {prefix != nullptr && *prefix != '\0' ? prefix : ORVEL_TESSDATA_DIR,
          icu::Locale::getDefault().getName()};
}

const LanguageCatalog* TesseractRecognizer::catalog() {
  if (!catalog_) catalog_ = LanguageCatalog::fromDirectory(settings_.dataDirectory);
  return catalog_ ? &*catalog_ : nullptr;
}

platform::RecognizerResult<std::vector<std::string>>
TesseractRecognizer::supportedRecognitionLanguages() {
  const LanguageCatalog* languages = catalog();
  if (languages == nullptr) return RecognizerFailure{kLanguageDataMissing};
  return languages->tags();
}

std::optional<std::string> TesseractRecognizer::displayName(const std::string& identifier) {
  return localeDisplayName(identifier, settings_.locale);
}

void TesseractRecognizer::setAutomaticallyDetectsLanguage(bool enabled) {
  automatic_ = enabled;
}

void TesseractRecognizer::setRecognitionLanguages(const std::vector<std::string>& identifiers) {
  languages_ = identifiers;
}

std::unique_ptr<platform::RecognitionImage> TesseractRecognizer::readImage(
    const std::string& path) {
  return GrayImage::read(path);
}

namespace {

// A band names its rows; they are decoded only while the engine takes its own copy, so the band
// never exists twice during recognition.
class GrayBand : public platform::RecognitionImage {
 public:
  GrayBand(const GrayImage& source, const platform::PixelRect& rect)
      : source_(source), rect_(rect) {}
  int width() const override { return rect_.width; }
  int height() const override { return rect_.height; }
  PixPtr pixels() const { return source_.pixels(rect_); }

 private:
  const GrayImage& source_;
  platform::PixelRect rect_;
};

}  // namespace

std::unique_ptr<platform::RecognitionImage> TesseractRecognizer::crop(
    const platform::RecognitionImage& image, const platform::PixelRect& rect) {
  const bool inside = rect.x >= 0 && rect.y >= 0 && rect.width > 0 && rect.height > 0 &&
                      rect.x + rect.width <= image.width() &&
                      rect.y + rect.height <= image.height();
  if (!inside) return nullptr;
  return std::make_unique<GrayBand>(static_cast<const GrayImage&>(image), rect);
}

std::optional<RecognizerFailure> TesseractRecognizer::start() {
  if (started_) return std::nullopt;
  const LanguageCatalog* languages = catalog();
  if (languages == nullptr) return RecognizerFailure{kLanguageDataMissing};
  std::string models;
  if (automatic_ || languages_.empty()) {
    models = languages->automaticLanguages(settings_.locale);
  } else {
    for (const std::string& tag : languages_) {
      const std::optional<std::string> name = languages->traineddataFor(tag);
      if (!name) return RecognizerFailure{kLanguageDataUnloadable};
      models += (models.empty() ? "" : "+") + *name;
    }
  }
  if (models.empty()) return RecognizerFailure{kLanguageDataMissing};
  if (api_->Init(settings_.dataDirectory.c_str(), models.c_str(), tesseract::OEM_LSTM_ONLY, nullptr,
                 0, &kVariableNames, &kVariableValues, false) != 0) {
    return RecognizerFailure{kLanguageDataUnloadable};
  }
  // Interface text is scattered in small blocks; sparse-text layout finds the lines that block
  // layout drops (sidebars, toolbars, status bars).
  api_->SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
  leftToRightOnly_ = allLeftToRight(models);
  started_ = true;
  return std::nullopt;
}

platform::RecognizerResult<std::vector<TextObservation>> TesseractRecognizer::recognize(
    const platform::RecognitionImage& image) {
  if (auto failed = start()) return *failed;
  const auto& band = static_cast<const GrayBand&>(image);
  {
    const PixPtr pix = band.pixels();
    if (!pix) return RecognizerFailure{kImageUnavailable};
    invertDarkAreas(pix.get());
    api_->SetImage(pix.get());
  }
  api_->SetSourceResolution(kScreenResolution);
  const bool recognized = api_->Recognize(nullptr) == 0;
  std::vector<TextObservation> observations;
  const double width = band.width();
  const double height = band.height();
  if (const std::unique_ptr<tesseract::ResultIterator> lines(recognized ? api_->GetIterator()
                                                                        : nullptr);
      lines) {
    if (leftToRightOnly_) {
      // The plain iterator of the same results, at the same place.
      tesseract::LTRResultIterator plain(*lines);
      readLines(plain, width, height, observations);
    } else {
      readLines(*lines, width, height, observations);
    }
  }
  // Drops the band's picture and page results; the loaded models stay for the next band.
  api_->Clear();
  malloc_trim(0);
  if (!recognized) return RecognizerFailure{kRecognizerFailed};
  return observations;
}

}  // namespace orvel::ocr
