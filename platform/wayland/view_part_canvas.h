// Passes one part of what an overlay view draws on to another canvas: the still part (the picture,
// fills and text, drawn once per picture) or the outlines (drawn at every change of the selection).
// It also notes the picture and the outlines the view draws; with no canvas behind it, it only
// notes.
#pragma once

#include <vector>

#include "platform/overlay.h"

namespace orvel::wayland {

class ViewPartCanvas final : public platform::Canvas {
 public:
  enum class Part { Still, Outlines };
  ViewPartCanvas(platform::Canvas* inner, Part part) : inner_(inner), part_(part) {}

  void fill(const Rect& r, platform::Color c) override {
    drewStill = true;
    if (inner_ && part_ == Part::Still) inner_->fill(r, c);
  }
  void drawText(const std::string& t, Point o, double size, platform::Color c) override {
    drewStill = true;
    if (inner_ && part_ == Part::Still) inner_->drawText(t, o, size, c);
  }
  void strokeRect(const Rect& r, platform::Color c, double width) override {
    strokes.push_back({r, width});
    if (inner_ && part_ == Part::Outlines) inner_->strokeRect(r, c, width);
  }
  void drawImage(const Image& image, const Rect& dest, double alpha) override {
    picture = &image;
    drewStill = true;
    if (inner_ && part_ == Part::Still) inner_->drawImage(image, dest, alpha);
  }

  struct Stroke {
    Rect rect;
    double lineWidth;
  };
  const Image* picture = nullptr;
  bool drewStill = false;  // a picture, a fill or text
  std::vector<Stroke> strokes;

 private:
  platform::Canvas* inner_;
  Part part_;
};

}  // namespace orvel::wayland
