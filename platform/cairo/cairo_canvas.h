// A Canvas over a cairo context. View coordinates (points, origin at the bottom-left corner of a
// view `height` points tall, y up) become cairo's (origin top-left, y down), scaled to pixels.
#pragma once

#include <cairo.h>

#include "platform/overlay.h"

namespace orvel::platform {

class CairoCanvas final : public Canvas {
 public:
  // `cr` draws in pixels; `scale` is pixels per point.
  CairoCanvas(cairo_t* cr, double height, double scale);
  ~CairoCanvas() override;

  void fill(const Rect& rect, Color color) override;
  void drawText(const std::string& text, Point origin, double fontSize, Color color) override;
  void strokeRect(const Rect& rect, Color color, double lineWidth) override;
  void drawImage(const Image& image, const Rect& dest, double alpha) override;

 private:
  // The rectangle in cairo's user space (points, y down).
  Rect flipped(const Rect& r) const;
  cairo_t* cr_;
  double height_;
};

}  // namespace orvel::platform
