#include "platform/cairo/cairo_canvas.h"

#include <memory>

namespace orvel::platform {

CairoCanvas::CairoCanvas(cairo_t* cr, double height, double scale) : cr_(cr), height_(height) {
  cairo_save(cr_);
  cairo_scale(cr_, scale, scale);
  cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
}

CairoCanvas::~CairoCanvas() {
  cairo_restore(cr_);
}

Rect CairoCanvas::flipped(const Rect& r) const {
  const Rect s = r.standardized();
  return {s.x, height_ - s.maxY(), s.width, s.height};
}

void CairoCanvas::fill(const Rect& rect, Color c) {
  const Rect f = flipped(rect);
  cairo_set_source_rgba(cr_, c.red, c.green, c.blue, c.alpha);
  cairo_rectangle(cr_, f.x, f.y, f.width, f.height);
  cairo_fill(cr_);
}

void CairoCanvas::drawText(const std::string& text, Point origin, double fontSize, Color c) {
  cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr_, fontSize);
  cairo_set_source_rgba(cr_, c.red, c.green, c.blue, c.alpha);
  cairo_move_to(cr_, origin.x, height_ - origin.y);
  cairo_show_text(cr_, text.c_str());
  cairo_new_path(cr_);
}

void CairoCanvas::strokeRect(const Rect& rect, Color c, double lineWidth) {
  const Rect f = flipped(rect);
  cairo_set_source_rgba(cr_, c.red, c.green, c.blue, c.alpha);
  cairo_set_line_width(cr_, lineWidth);
  cairo_rectangle(cr_, f.x, f.y, f.width, f.height);
  cairo_stroke(cr_);
}

void CairoCanvas::drawImage(const Image& image, const Rect& dest, double alpha) {
  if (image.empty() || dest.isEmpty()) return;
  // Image rows are premultiplied BGRA words: cairo's ARGB32 on little-endian machines.
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create_for_data(const_cast<std::uint8_t*>(image.data()),
                                          CAIRO_FORMAT_ARGB32, image.width(), image.height(),
                                          static_cast<int>(image.stride())),
      cairo_surface_destroy);
  const Rect f = flipped(dest);
  cairo_save(cr_);
  cairo_translate(cr_, f.x, f.y);
  cairo_scale(cr_, f.width / image.width(), f.height / image.height());
  cairo_set_source_surface(cr_, surface.get(), 0, 0);
  cairo_paint_with_alpha(cr_, alpha);
  cairo_restore(cr_);
}

}  // namespace orvel::platform
