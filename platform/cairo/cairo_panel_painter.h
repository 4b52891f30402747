// Draws a panel's content (platform/overlay.h) with cairo, in the order the content states. Window
// coordinates (points, origin at the bottom-left corner of a panel `height` points tall, y up)
// become cairo's (origin top-left, y down), scaled to pixels.
#pragma once

#include <cairo.h>

#include "platform/overlay.h"

namespace orvel::platform {

class CairoPanelPainter final {
 public:
  // `cr` draws in pixels; `size` is the panel's in points, `scale` pixels per point.
  CairoPanelPainter(cairo_t* cr, Size size, double scale);
  ~CairoPanelPainter();
  CairoPanelPainter(const CairoPanelPainter&) = delete;
  CairoPanelPainter& operator=(const CairoPanelPainter&) = delete;

  // The picture, the veil and the instruction: what stays while the selection changes.
  void paintBackdrop(const PanelContent& content);
  void paintSelection(const PanelContent& content);
  void paint(const PanelContent& content) {
    paintBackdrop(content);
    paintSelection(content);
  }

 private:
  // The rectangle in cairo's user space (points, y down).
  Rect flipped(const Rect& r) const;
  cairo_t* cr_;
  Size size_;
};

}  // namespace orvel::platform
