// A scripted recognizer: lines placed at exact whole-image centres, seen by every band whose
// rectangle holds them, with boxes normalized to the band as a real engine reports them.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/text_recognizer.h"

namespace orvel::ocr::testing {

struct PlacedLine {
  double centre = 0;  // whole-image row
  double x = 0;       // left edge, fraction of the width
  std::string text;
  bool hasCandidate = true;
};

class FakeImage : public platform::RecognitionImage {
 public:
  FakeImage(int width, int height, platform::PixelRect rect = {})
      : width_(width), height_(height), rect_(rect) {}
  int width() const override { return width_; }
  int height() const override { return height_; }
  const platform::PixelRect& rect() const { return rect_; }

 private:
  int width_;
  int height_;
  platform::PixelRect rect_;
};

class FakeRecognizer : public platform::TextRecognizer {
 public:
  platform::RecognizerResult<std::vector<std::string>> languages = std::vector<std::string>{};
  std::map<std::string, std::string> names;
  // Images by path: width and height.
  std::map<std::string, std::pair<int, int>> images;
  std::vector<PlacedLine> lines;
  std::set<int> uncroppableTops;
  std::optional<int> failingTop;
  bool tagTextWithBand = false;

  std::optional<bool> automatic;
  std::optional<std::vector<std::string>> recognitionLanguages;
  std::vector<platform::PixelRect> recognized;

  platform::RecognizerResult<std::vector<std::string>> supportedRecognitionLanguages() override {
    return languages;
  }
  std::optional<std::string> displayName(const std::string& identifier) override {
    const auto found = names.find(identifier);
    if (found == names.end()) return std::nullopt;
    return found->second;
  }
  void setAutomaticallyDetectsLanguage(bool enabled) override { automatic = enabled; }
  void setRecognitionLanguages(const std::vector<std::string>& identifiers) override {
    recognitionLanguages = identifiers;
  }
  std::unique_ptr<platform::RecognitionImage> readImage(const std::string& path) override {
    const auto found = images.find(path);
    if (found == images.end()) return nullptr;
    return std::make_unique<FakeImage>(found->second.first, found->second.second);
  }
  std::unique_ptr<platform::RecognitionImage> crop(const platform::RecognitionImage&,
                                                   const platform::PixelRect& rect) override {
    if (uncroppableTops.contains(rect.y)) return nullptr;
    return std::make_unique<FakeImage>(rect.width, rect.height, rect);
  }
  platform::RecognizerResult<std::vector<platform::TextObservation>> recognize(
      const platform::RecognitionImage& image) override {
    const platform::PixelRect& band = static_cast<const FakeImage&>(image).rect();
    recognized.push_back(band);
    if (failingTop == band.y) return platform::RecognizerFailure{"engine failed"};
    std::vector<platform::TextObservation> observations;
    for (const PlacedLine& line : lines) {
      if (line.centre < band.y || line.centre >= band.y + band.height) continue;
      // A flat box keeps the centre free of rounding, so edge rows land exactly.
      const double midY = 1.0 - (line.centre - band.y) / band.height;
      platform::TextObservation observation;
      observation.boundingBox = {line.x, midY, 0.25, 0};
      if (line.hasCandidate) {
        observation.topCandidate =
            tagTextWithBand ? line.text + "@" + std::to_string(band.y) : line.text;
      }
      observations.push_back(observation);
    }
    return observations;
  }
};

}  // namespace orvel::ocr::testing
