#include "platform/cairo/cairo_panel_painter.h"

#include <memory>

namespace orvel::platform {

namespace {
constexpr Color kWhite{1, 1, 1, 1};
}  // namespace

CairoPanelPainter::CairoPanelPainter(cairo_t* cr, Size size, double scale) : cr_(cr), size_(size) {
  cairo_save(cr_);
  cairo_scale(cr_, scale, scale);
  cairo_set_operator(cr_, CAIRO_OPERATOR_OVER);
}

CairoPanelPainter::~CairoPanelPainter() {
  cairo_restore(cr_);
}

Rect CairoPanelPainter::flipped(const Rect& r) const {
  const Rect s = r.standardized();
  return {s.x, size_.height - s.maxY(), s.width, s.height};
}

void CairoPanelPainter::paintBackdrop(const PanelContent& content) {
  const Image* image = content.picture.get();
  if (image && !image->empty() && size_.width > 0 && size_.height > 0) {
    // Image rows are premultiplied BGRA words: cairo's ARGB32 on little-endian machines.
    std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
        cairo_image_surface_create_for_data(const_cast<std::uint8_t*>(image->data()),
                                            CAIRO_FORMAT_ARGB32, image->width(), image->height(),
                                            static_cast<int>(image->stride())),
        cairo_surface_destroy);
    cairo_save(cr_);
    cairo_scale(cr_, size_.width / image->width(), size_.height / image->height());
    cairo_set_source_surface(cr_, surface.get(), 0, 0);
    cairo_paint(cr_);
    cairo_restore(cr_);
  }
  const Color veil = content.veil;
  if (veil.alpha > 0) {
    cairo_set_source_rgba(cr_, veil.red, veil.green, veil.blue, veil.alpha);
    cairo_rectangle(cr_, 0, 0, size_.width, size_.height);
    cairo_fill(cr_);
  }
  const PanelText& text = content.instruction;
  if (!text.text.empty()) {
    const Point origin = instructionOrigin(size_.height);
    cairo_select_font_face(cr_, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr_, text.fontSize);
    cairo_set_source_rgba(cr_, kWhite.red, kWhite.green, kWhite.blue, kWhite.alpha);
    cairo_move_to(cr_, origin.x, size_.height - origin.y);
    cairo_show_text(cr_, text.text.c_str());
    cairo_new_path(cr_);
  }
}

void CairoPanelPainter::paintSelection(const PanelContent& content) {
  if (!content.selection) return;
  const Rect f = flipped(content.selection->rect);
  cairo_set_source_rgba(cr_, kWhite.red, kWhite.green, kWhite.blue, kWhite.alpha);
  cairo_set_line_width(cr_, content.selection->lineWidth);
  cairo_rectangle(cr_, f.x, f.y, f.width, f.height);
  cairo_stroke(cr_);
}

}  // namespace orvel::platform
