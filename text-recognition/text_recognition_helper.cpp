#include "text_recognition_helper.h"

#include <filesystem>
#include <memory>
#include <optional>

#include "band.h"
#include "language_matcher.h"
#include "messages.h"
#include "parallel_recognition.h"

namespace orvel::ocr {
namespace {

constexpr const char* kSystemLanguage = "system";

RunResult failure(std::string message, int status = kExitFailure) {
  RunResult result;
  result.output.error = std::move(message);
  result.exitStatus = status;
  return result;
}

}  // namespace

RunResult TextRecognitionHelper::run(const std::vector<std::string>& args) {
  // The language query comes first, so a broken engine is reported whatever the command line.
  auto supported = recognizer_.supportedRecognitionLanguages();
  if (auto* failed = std::get_if<platform::RecognizerFailure>(&supported)) {
    return failure(failed->description);
  }
  const auto& identifiers = std::get<std::vector<std::string>>(supported);

  if (args.size() == 4 && args[1] == "recognize") return recognize(identifiers, args[2], args[3]);
  if (args.size() == 2 && args[1] == "languages") return listLanguages(identifiers);
  return failure(kRecognitionUnavailable, kExitMalformed);
}

RunResult TextRecognitionHelper::listLanguages(const std::vector<std::string>& supported) {
  std::vector<Language> languages;
  for (const std::string& identifier : supported) {
    languages.push_back({identifier, recognizer_.displayName(identifier).value_or(identifier)});
  }
  RunResult result;
  result.output.languages = std::move(languages);
  return result;
}

RunResult TextRecognitionHelper::recognize(const std::vector<std::string>& supported,
                                           const std::string& path, const std::string& language) {
  if (language == kSystemLanguage) {
    recognizer_.setAutomaticallyDetectsLanguage(true);
  } else {
    const std::optional<std::string> identifier = matchLanguage(supported, language);
    if (!identifier) return failure(kLanguageUnavailable);
    recognizer_.setRecognitionLanguages({*identifier});
  }

  const std::unique_ptr<platform::RecognitionImage> image = recognizer_.readImage(path);
  if (!image) {
    // Tell the user which: a wrong path, or a file that holds no picture (or may not be read).
    std::error_code error;
    const bool missing =
        std::filesystem::status(path, error).type() == std::filesystem::file_type::not_found;
    return failure(missing ? kImageMissing : kNotAnImage);
  }

  auto lines = recognizeBands(*image);
  if (auto* failed = std::get_if<platform::RecognizerFailure>(&lines)) {
    return failure(failed->description);
  }
  auto& found = std::get<std::vector<Line>>(lines);
  sortLines(found);
  RunResult result;
  result.output.text = joinLines(found);
  return result;
}

platform::RecognizerResult<std::vector<Line>> TextRecognitionHelper::recognizeBands(
    const platform::RecognitionImage& image) {
  if (engines_ > 1) return recognizeInParts(recognizer_, image, engines_);
  std::vector<Line> lines;
  for (const Band& band : bandsFor(image.width(), image.height())) {
    // The band's picture and results live only in this scope, so one band's memory is freed
    // before the next is cropped.
    const std::unique_ptr<platform::RecognitionImage> picture = recognizer_.crop(image, band.rect);
    if (!picture) continue;
    auto observations = recognizer_.recognize(*picture);
    if (auto* failed = std::get_if<platform::RecognizerFailure>(&observations)) return *failed;
    for (const auto& observation : std::get<std::vector<platform::TextObservation>>(observations)) {
      const double y = band.centreRow(observation.boundingBox);
      if (!band.owns(y) || !observation.topCandidate) continue;
      const double x = band.rect.x + observation.boundingBox.minX() * band.rect.width;
      lines.push_back({y, x, *observation.topCandidate});
    }
  }
  return lines;
}

}  // namespace orvel::ocr
