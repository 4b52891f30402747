// A scripted recognizer: lines placed at exact whole-image centres, seen by every band whose
// rectangle holds them, with boxes normalized to the band as a real engine reports them.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <mutex>
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
  int height = 10;  // dark rows around the centre, as prepared pictures show them
};

// One recognizePart call: the part in whole-image rows, and the engine that took it.
struct PartCall {
  platform::PixelRect rect;
  int engine = 0;
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
    return observe(band);
  }

  // Recognition in parts.
  int engineCount = 0;
  std::vector<platform::PixelRect> prepared;
  std::set<int> failingPartTops;  // whole-image top rows of parts that fail

  void setEngineCount(int count) override { engineCount = count; }
  std::unique_ptr<platform::RecognitionImage> prepare(const platform::RecognitionImage& image,
                                                      const platform::PixelRect& rect) override {
    prepared.push_back(rect);
    return crop(image, rect);
  }
  // White rows, with `height` black pixels a row around each line's centre.
  std::vector<std::array<std::int64_t, 256>> rowHistograms(
      const platform::RecognitionImage& image) override {
    const platform::PixelRect& band = static_cast<const FakeImage&>(image).rect();
    std::vector<std::array<std::int64_t, 256>> rows(static_cast<std::size_t>(band.height));
    for (auto& row : rows) {
      row.fill(0);
      row[255] = band.width;
    }
    for (const PlacedLine& line : lines) {
      const int top = static_cast<int>(line.centre) - line.height / 2 - band.y;
      for (int y = std::max(top, 0); y < std::min(top + line.height, band.height); ++y) {
        auto& row = rows[static_cast<std::size_t>(y)];
        row[0] += line.height;
        row[255] -= line.height;
      }
    }
    return rows;
  }
  platform::RecognizerResult<std::vector<platform::TextObservation>> recognizePart(
      const platform::RecognitionImage& image, const platform::PixelRect& part,
      int engine) override {
    const platform::PixelRect& band = static_cast<const FakeImage&>(image).rect();
    const platform::PixelRect rect{band.x + part.x, band.y + part.y, part.width, part.height};
    {
      const std::lock_guard lock(partsMutex_);
      parts_.push_back({rect, engine});
    }
    if (failingPartTops.contains(rect.y)) return platform::RecognizerFailure{"part failed"};
    return observe(rect);
  }
  std::vector<PartCall> parts() const {
    const std::lock_guard lock(partsMutex_);
    return parts_;
  }

 private:
  // Parts are recognised on several threads at once.
  mutable std::mutex partsMutex_;
  std::vector<PartCall> parts_;

  platform::RecognizerResult<std::vector<platform::TextObservation>> observe(
      const platform::PixelRect& band) const {
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
