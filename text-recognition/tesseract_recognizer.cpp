#include "tesseract_recognizer.h"

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>
#include <unicode/locid.h>

#include <malloc.h>

#include <cstdlib>

#include "gray_image.h"
#include "messages.h"
#include "text_piece.h"
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

// Tesseract's own inversion is kept for the light text that dark-area whitening misses (light
// fields inside a whitened dark panel). Paragraphs are found from the layout before recognition
// rather than from the text after it: the helper orders lines itself, and the text-based pass
// reads every line through the result iterator again.
// Layout splits a line at a gap that lines up with gaps in the lines around it, as at a tab stop.
// Its default takes gaps of three quarters of a line height, so the numbers of a numbered list
// became a column of their own and single digits were dropped as noise; here a gutter is at least
// two line heights wide, which columns of an interface are and word spaces never.
const std::vector<std::string> kVariableNames = {"tessedit_do_invert", "paragraph_text_based",
                                                 "textord_tabfind_aligned_gap_fraction"};
const std::vector<std::string> kVariableValues = {"1", "0", "2"};

std::string trimmed(const char* text) {
  std::string line = text == nullptr ? "" : text;
  while (!line.empty() && (line.back() == '\n' || line.back() == ' '))
    line.pop_back();
  return line;
}

// The text lines that the iterator visits, as pieces to join.
template <typename Lines>
std::vector<TextPiece> readPieces(Lines& lines) {
  std::vector<TextPiece> pieces;
  do {
    if (lines.Empty(tesseract::RIL_TEXTLINE)) continue;
    TextPiece piece;
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!lines.BoundingBox(tesseract::RIL_TEXTLINE, &left, &top, &right, &bottom)) continue;
    piece.box = {left, top, right - left, bottom - top};
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    if (lines.Baseline(tesseract::RIL_TEXTLINE, &x1, &y1, &x2, &y2) && x2 != x1) {
      piece.slope = double(y2 - y1) / double(x2 - x1);
      piece.baseline = y1 + piece.slope * (left - x1);
    } else {
      piece.baseline = bottom;
    }
    const std::unique_ptr<char[]> text(lines.GetUTF8Text(tesseract::RIL_TEXTLINE));
    piece.text = trimmed(text.get());
    if (!piece.text.empty()) pieces.push_back(std::move(piece));
  } while (lines.Next(tesseract::RIL_TEXTLINE));
  return pieces;
}

TextObservation observationOf(const TextPiece& line, double width, double height) {
  TextObservation observation;
  const platform::PixelRect& box = line.box;
  observation.boundingBox = {box.x / width, 1.0 - (box.y + box.height) / height, box.width / width,
                             box.height / height};
  observation.topCandidate = line.text;
  return observation;
}

// The picture's lines, joined and normalized to it. The engine takes a copy of the picture, which
// is freed before recognition so that it never exists twice.
platform::RecognizerResult<std::vector<TextObservation>> recognizeWith(tesseract::TessBaseAPI& api,
                                                                       PixPtr pix,
                                                                       bool leftToRightOnly) {
  const double width = pixGetWidth(pix.get());
  const double height = pixGetHeight(pix.get());
  api.SetImage(pix.get());
  pix.reset();
  api.SetSourceResolution(kScreenResolution);
  const bool recognized = api.Recognize(nullptr) == 0;
  std::vector<TextPiece> pieces;
  if (const std::unique_ptr<tesseract::ResultIterator> lines(recognized ? api.GetIterator()
                                                                        : nullptr);
      lines) {
    if (leftToRightOnly) {
      // The plain iterator of the same results, at the same place.
      tesseract::LTRResultIterator plain(*lines);
      pieces = readPieces(plain);
    } else {
      pieces = readPieces(*lines);
    }
  }
  // No piece crosses a part's edge (parts are cut where rows are blank), so joining a part's
  // pieces joins what joining the whole band's would.
  std::vector<TextObservation> observations;
  for (const TextPiece& line : joinIntoLines(pieces))
    observations.push_back(observationOf(line, width, height));
  // Drops the picture and page results; the loaded models stay for the next band.
  api.Clear();
  malloc_trim(0);
  if (!recognized) return RecognizerFailure{kRecognizerFailed};
  return observations;
}

}  // namespace

struct TesseractRecognizer::Engine {
  Engine() : api(std::make_unique<tesseract::TessBaseAPI>()) {
    // The engine's own diagnostics go nowhere: the helper's only output is its JSON object.
    api->SetVariable("debug_file", "/dev/null");
  }
  std::unique_ptr<tesseract::TessBaseAPI> api;
  bool started = false;
};

TesseractRecognizer::TesseractRecognizer(TesseractSettings settings)
    : settings_(std::move(settings)) {
  engines_.push_back(std::make_unique<Engine>());
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

const platform::RecognizerResult<std::string>& TesseractRecognizer::models() {
  if (models_) return *models_;
  const LanguageCatalog* languages = catalog();
  std::string models;
  if (languages == nullptr) {
    models_ = RecognizerFailure{kLanguageDataMissing};
  } else if (automatic_ || languages_.empty()) {
    models = languages->automaticLanguages(settings_.locale);
  } else {
    for (const std::string& tag : languages_) {
      const std::optional<std::string> name = languages->traineddataFor(tag);
      if (!name) {
        models_ = RecognizerFailure{kLanguageDataUnloadable};
        return *models_;
      }
      models += (models.empty() ? "" : "+") + *name;
    }
  }
  if (!models_) {
    if (models.empty()) {
      models_ = RecognizerFailure{kLanguageDataMissing};
    } else {
      leftToRightOnly_ = allLeftToRight(models);
      models_ = models;
    }
  }
  return *models_;
}

platform::RecognizerResult<tesseract::TessBaseAPI*> TesseractRecognizer::start(Engine& engine) {
  if (engine.started) return engine.api.get();
  const auto& list = models();
  if (const auto* failed = std::get_if<RecognizerFailure>(&list)) return *failed;
  if (engine.api->Init(settings_.dataDirectory.c_str(), std::get<std::string>(list).c_str(),
                       tesseract::OEM_LSTM_ONLY, nullptr, 0, &kVariableNames, &kVariableValues,
                       false) != 0) {
    return RecognizerFailure{kLanguageDataUnloadable};
  }
  // Interface text is scattered in small blocks; sparse-text layout finds the lines that block
  // layout drops (sidebars, toolbars, status bars).
  engine.api->SetPageSegMode(tesseract::PSM_SPARSE_TEXT);
  engine.started = true;
  return engine.api.get();
}

platform::RecognizerResult<std::vector<TextObservation>> TesseractRecognizer::recognize(
    const platform::RecognitionImage& image) {
  const auto api = start(*engines_.front());
  if (const auto* failed = std::get_if<RecognizerFailure>(&api)) return *failed;
  PixPtr pix = static_cast<const GrayBand&>(image).pixels();
  if (!pix) return RecognizerFailure{kImageUnavailable};
  invertDarkAreas(pix.get());
  return recognizeWith(*std::get<tesseract::TessBaseAPI*>(api), std::move(pix), leftToRightOnly_);
}

namespace {

// A band decoded and prepared once; its parts are copied out for each engine.
class PreparedPicture : public platform::RecognitionImage {
 public:
  explicit PreparedPicture(PixPtr pix) : pix_(std::move(pix)) {}
  int width() const override { return pixGetWidth(pix_.get()); }
  int height() const override { return pixGetHeight(pix_.get()); }
  const Pix* pix() const { return pix_.get(); }

 private:
  PixPtr pix_;
};

}  // namespace

void TesseractRecognizer::setEngineCount(int count) {
  models();
  while (static_cast<int>(engines_.size()) < count)
    engines_.push_back(std::make_unique<Engine>());
}

std::unique_ptr<platform::RecognitionImage> TesseractRecognizer::prepare(
    const platform::RecognitionImage& image, const platform::PixelRect& rect) {
  const std::unique_ptr<platform::RecognitionImage> band = crop(image, rect);
  if (!band) return nullptr;
  PixPtr pix = static_cast<const GrayBand&>(*band).pixels();
  if (!pix) return nullptr;
  invertDarkAreas(pix.get());
  return std::make_unique<PreparedPicture>(std::move(pix));
}

std::vector<std::array<std::int64_t, 256>> TesseractRecognizer::rowHistograms(
    const platform::RecognitionImage& prepared) {
  return greyHistogramsPerRow(static_cast<const PreparedPicture&>(prepared).pix());
}

platform::RecognizerResult<std::vector<TextObservation>> TesseractRecognizer::recognizePart(
    const platform::RecognitionImage& prepared, const platform::PixelRect& part, int engine) {
  const auto& picture = static_cast<const PreparedPicture&>(prepared);
  Box* box = boxCreateValid(part.x, part.y, part.width, part.height);
  if (box == nullptr) return RecognizerFailure{kImageUnavailable};
  PixPtr clip(pixClipRectangle(const_cast<Pix*>(picture.pix()), box, nullptr));
  boxDestroy(&box);
  if (!clip) return RecognizerFailure{kImageUnavailable};
  const auto api = start(*engines_.at(static_cast<std::size_t>(engine)));
  if (const auto* failed = std::get_if<RecognizerFailure>(&api)) return *failed;
  return recognizeWith(*std::get<tesseract::TessBaseAPI*>(api), std::move(clip), leftToRightOnly_);
}

}  // namespace orvel::ocr
