#include "platform/x11/x11_frozen_overlay.h"

#include <cairo-xcb.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <vector>

#include "platform/cairo/cairo_panel_painter.h"
#include "platform/coalesced_redraw.h"
#include "platform/key_state.h"
#include "platform/x11/font_cursor.h"

namespace orvel::x11 {

namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

xcb_visualtype_t* rootVisual(const xcb_screen_t* screen) {
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
      if (v.data->visual_id == screen->root_visual) return v.data;
    }
  }
  return nullptr;
}

constexpr platform::Color kWhite{1, 1, 1, 1};

std::int16_t i16(int v) {
  return static_cast<std::int16_t>(v);
}
std::uint16_t u16(int v) {
  return static_cast<std::uint16_t>(v);
}

}  // namespace

class FrozenOverlayPanel final : public platform::OverlayPanel {
 public:
  FrozenOverlayPanel(X11FrozenOverlay& overlay, const platform::PanelOptions& options,
                     platform::OverlayView& view);
  ~FrozenOverlayPanel() override {
    *alive_ = false;
    close();
  }

  void show(bool makeKey) override;
  void close() override;
  void escape() {
    if (!closed_) view_.keyDown(platform::kEscapeKeyCode);
  }
  Rect frame() const override { return options_.frame; }
  Point convertToScreen(Point p) const override {
    return {p.x + options_.frame.x, p.y + options_.frame.y};
  }
  Rect convertFromScreen(const Rect& r) const override {
    return r.offsetBy(-options_.frame.x, -options_.frame.y);
  }

 protected:
  void contentChanged(platform::PanelPart part) override {
    if (part == platform::PanelPart::kBackdrop) backdropStale_ = true;
    redrawLater_.request();
  }

 private:
  void redraw();
  void showBackdrop();
  // Restores the background where the last outline was, then strokes `selection`.
  void paintOutline(const std::optional<platform::Outline>& selection);
  // The root visual's pixel value of an opaque colour.
  std::uint32_t pixelOf(platform::Color color) const;

  X11FrozenOverlay& overlay_;
  platform::PanelOptions options_;
  platform::OverlayView& view_;
  PanelPlacement place_;
  xcb_visualtype_t* visual_ = nullptr;
  XWindow input_;
  XWindow output_;
  // The content's backdrop: the output window's background.
  XPixmap background_;
  bool backdropStale_ = true;
  XGC outlineGC_;
  std::optional<platform::Outline> outline_;  // as shown
  bool shown_ = false;
  bool closed_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  platform::CoalescedRedraw redrawLater_{overlay_.loop_, [this] { redraw(); }};
};

X11FrozenOverlay::X11FrozenOverlay(EventLoop& loop, X11Connection& connection, X11Screens& screens,
                                   X11EventPump& pump)
    : loop_(loop),
      connection_(connection),
      screens_(screens),
      pump_(pump),
      crosshair_(fontCursor(connection, FontCursor::crosshair)) {
  pump_.onConnectionLost([this, alive = alive_] {
    if (*alive) connectionLost();
  });
}

X11FrozenOverlay::~X11FrozenOverlay() {
  *alive_ = false;
}

void X11FrozenOverlay::connectionLost() {
  // Nothing can be shown or dragged any more: the capture ends as if the user pressed Escape.
  while (!open_.empty()) {
    FrozenOverlayPanel* panel = open_.front();
    open_.erase(open_.begin());
    panel->escape();
  }
}

std::unique_ptr<platform::OverlayPanel> X11FrozenOverlay::createPanel(
    const platform::PanelOptions& options, platform::OverlayView& view) {
  return std::make_unique<FrozenOverlayPanel>(*this, options, view);
}

FrozenOverlayPanel::FrozenOverlayPanel(X11FrozenOverlay& overlay,
                                       const platform::PanelOptions& options,
                                       platform::OverlayView& view)
    : overlay_(overlay), options_(options), view_(view) {
  X11Connection& connection = overlay_.connection_;
  if (!connection.ok()) return;
  xcb_connection_t* c = connection.get();
  place_ = overlay_.screens_.layout().placePanel(options_.frame);
  visual_ = rootVisual(connection.screen());
  if (place_.pixels.empty()) return;
  const xcb_window_t window = connection.generateId();
  const std::uint32_t values[] = {1, overlay_.crosshair_.id()};
  xcb_create_window(c, 0, window, connection.root(), i16(place_.pixels.x), i16(place_.pixels.y),
                    u16(place_.pixels.width), u16(place_.pixels.height), 0,
                    XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                    XCB_CW_OVERRIDE_REDIRECT | XCB_CW_CURSOR, values);
  input_ = XWindow(c, window);
}

void FrozenOverlayPanel::show(bool /*makeKey: keys come through the input shield*/) {
  if (closed_ || !input_) return;
  xcb_connection_t* c = overlay_.connection_.get();
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  if (!shown_) {
    xcb_map_window(c, input_.id());
    overlay_.open_.push_back(this);
  }
  xcb_configure_window(c, input_.id(), XCB_CONFIG_WINDOW_STACK_MODE, &above);
  if (output_) {
    if (!shown_) xcb_map_window(c, output_.id());
    xcb_configure_window(c, output_.id(), XCB_CONFIG_WINDOW_STACK_MODE, &above);
  }
  shown_ = true;
  overlay_.connection_.flush();
  redrawLater_.request();
}

void FrozenOverlayPanel::close() {
  if (closed_) return;
  closed_ = true;
  redrawLater_.stop();
  auto& open = overlay_.open_;
  open.erase(std::remove(open.begin(), open.end(), this), open.end());
  if (output_) overlay_.pump_.removeWindowHandler(output_.id());
  if (!overlay_.connection_.ok()) return;
  outlineGC_.reset();
  output_.reset();
  input_.reset();
  background_.reset();
  overlay_.connection_.flush();
}

void FrozenOverlayPanel::redraw() {
  if (!shown_ || closed_ || !input_ || !visual_ || !overlay_.connection_.ok()) return;
  // Without a frozen picture there is nothing to show: the panel stays input-only.
  const auto& picture = content().picture;
  if (!picture || picture->empty()) return;
  if (backdropStale_) showBackdrop();
  paintOutline(content().selection);
}

void FrozenOverlayPanel::showBackdrop() {
  X11Connection& connection = overlay_.connection_;
  xcb_connection_t* c = connection.get();
  const xcb_screen_t* screen = connection.screen();
  if (!background_) {
    const xcb_pixmap_t pixmap = connection.generateId();
    xcb_create_pixmap(c, screen->root_depth, pixmap, connection.root(), u16(place_.pixels.width),
                      u16(place_.pixels.height));
    background_ = XPixmap(c, pixmap);
  }
  // One upload and one dimming; a drag then only repaints the outlines' strips.
  Surface surface(cairo_xcb_surface_create(c, background_.id(), visual_, place_.pixels.width,
                                           place_.pixels.height),
                  cairo_surface_destroy);
  overlay_.cairoDevice_.hold(surface.get());
  cairo_t* cr = cairo_create(surface.get());
  platform::CairoPanelPainter(cr, place_.size(), place_.scale).paintBackdrop(content());
  cairo_destroy(cr);
  cairo_surface_flush(surface.get());
  backdropStale_ = false;
  if (output_) {
    xcb_clear_area(c, 0, output_.id(), 0, 0, 0, 0);
    outline_.reset();
    return;
  }
  const xcb_window_t window = connection.generateId();
  // The server paints exposures from the background by itself.
  const std::uint32_t values[] = {background_.id(), 1, XCB_EVENT_MASK_EXPOSURE,
                                  overlay_.crosshair_.id()};
  xcb_create_window(
      c, XCB_COPY_FROM_PARENT, window, connection.root(), i16(place_.pixels.x),
      i16(place_.pixels.y), u16(place_.pixels.width), u16(place_.pixels.height), 0,
      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
      XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK | XCB_CW_CURSOR, values);
  output_ = XWindow(c, window);
  const std::uint32_t level = static_cast<std::uint32_t>(options_.level);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, connection.atoms().orvelWindowLevel,
                      XCB_ATOM_CARDINAL, 32, 1, &level);
  const auto pid = static_cast<std::uint32_t>(::getpid());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, connection.atoms().netWmPid,
                      XCB_ATOM_CARDINAL, 32, 1, &pid);
  overlay_.pump_.setWindowHandler(window, [this, alive = alive_](const xcb_generic_event_t& e) {
    if (*alive && (e.response_type & 0x7f) == XCB_EXPOSE &&
        reinterpret_cast<const xcb_expose_event_t&>(e).count == 0) {
      // The background is back everywhere: only the outline is missing.
      outline_.reset();
      redrawLater_.request();
    }
  });
  xcb_map_window(c, window);
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
  const xcb_gcontext_t gc = connection.generateId();
  xcb_create_gc(c, gc, window, 0, nullptr);
  outlineGC_ = XGC(c, gc);
}

void FrozenOverlayPanel::paintOutline(const std::optional<platform::Outline>& selection) {
  if (closed_ || !output_ || !outlineGC_ || !overlay_.connection_.ok()) return;
  xcb_connection_t* c = overlay_.connection_.get();
  const double height = place_.size().height;
  if (const auto& o = outline_) {
    // The strips the stroke covered, in pixels, with a margin for antialiasing.
    const Rect r = o->rect.standardized();
    const int m = static_cast<int>(std::ceil(o->lineWidth * place_.scale / 2)) + 2;
    const int x = static_cast<int>(std::floor(r.x * place_.scale)) - m;
    const int y = static_cast<int>(std::floor((height - r.maxY()) * place_.scale)) - m;
    const int w = static_cast<int>(std::ceil(r.width * place_.scale)) + 2 * m;
    const int h = static_cast<int>(std::ceil(r.height * place_.scale)) + 2 * m;
    const int strips[4][4] = {{x, y, w, 2 * m + 1},
                              {x, y + h - 2 * m - 1, w, 2 * m + 1},
                              {x, y, 2 * m + 1, h},
                              {x + w - 2 * m - 1, y, 2 * m + 1, h}};
    for (const auto& s : strips) {
      if (s[2] <= 0 || s[3] <= 0) continue;
      xcb_clear_area(c, 0, output_.id(), i16(s[0]), i16(s[1]), u16(s[2]), u16(s[3]));
    }
  }
  // Plain core requests, no replies awaited: a drag never waits for the server.
  if (selection) {
    const Rect r = selection->rect.standardized();
    const std::uint32_t values[] = {
        pixelOf(kWhite),
        static_cast<std::uint32_t>(std::lround(selection->lineWidth * place_.scale))};
    xcb_change_gc(c, outlineGC_.id(), XCB_GC_FOREGROUND | XCB_GC_LINE_WIDTH, values);
    const xcb_rectangle_t rect{
        i16(static_cast<int>(std::lround(r.x * place_.scale))),
        i16(static_cast<int>(std::lround((height - r.maxY()) * place_.scale))),
        u16(static_cast<int>(std::lround(r.width * place_.scale))),
        u16(static_cast<int>(std::lround(r.height * place_.scale)))};
    xcb_poly_rectangle(c, output_.id(), outlineGC_.id(), 1, &rect);
  }
  overlay_.connection_.flush();
  outline_ = selection;
}

std::uint32_t FrozenOverlayPanel::pixelOf(platform::Color color) const {
  auto channel = [](double v, std::uint32_t mask) -> std::uint32_t {
    if (!mask) return 0;
    const int shift = __builtin_ctz(mask);
    const std::uint32_t top = mask >> shift;
    return (static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * top)) << shift) & mask;
  };
  return channel(color.red, visual_->red_mask) | channel(color.green, visual_->green_mask) |
         channel(color.blue, visual_->blue_mask);
}

}  // namespace orvel::x11
