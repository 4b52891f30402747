#include "platform/x11/x11_overlay_panel.h"

#include <cairo-xcb.h>
#include <unistd.h>
#include <xcb/xfixes.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/cairo/cairo_panel_painter.h"
#include "platform/key_state.h"
#include "platform/x11/x11_overlay.h"
#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

namespace {

xcb_visualtype_t* findVisual(const xcb_screen_t* screen, std::uint8_t depth,
                             std::optional<xcb_visualid_t> id) {
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
    if (d.data->depth != depth) continue;
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
      if (id ? v.data->visual_id == *id
             : v.data->_class == XCB_VISUAL_CLASS_TRUE_COLOR && v.data->red_mask == 0xff0000 &&
                   v.data->green_mask == 0xff00 && v.data->blue_mask == 0xff) {
        return v.data;
      }
    }
  }
  return nullptr;
}

void setCardinal(xcb_connection_t* c, xcb_window_t w, xcb_atom_t atom, std::uint32_t value) {
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom, XCB_ATOM_CARDINAL, 32, 1, &value);
}

}  // namespace

X11OverlayPanel::X11OverlayPanel(X11Overlay& overlay, const platform::PanelOptions& options,
                                 platform::OverlayView& view)
    : overlay_(overlay),
      options_(options),
      view_(view),
      redrawLater_(overlay.loop_, [this] { redraw(); }) {
  create();
}

X11OverlayPanel::~X11OverlayPanel() {
  *alive_ = false;
  close();
}

void X11OverlayPanel::create() {
  X11Connection& connection = overlay_.connection_;
  if (!connection.ok()) return;
  xcb_connection_t* c = connection.get();
  place_ = overlay_.screens_.layout().placePanel(options_.frame);
  if (place_.pixels.empty()) return;
  const xcb_screen_t* screen = connection.screen();
  xcb_visualtype_t* argb = findVisual(screen, 32, std::nullopt);
  translucent_ = argb && overlay_.compositing();

  const xcb_window_t window = connection.generateId();
  std::uint32_t events =
      XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
  if (!options_.ignoresMouse) {
    events |=
        XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;
  }
  xcb_void_cookie_t created;
  if (translucent_) {
    visual_ = argb;
    const xcb_colormap_t colormap = connection.generateId();
    xcb_create_colormap(c, XCB_COLORMAP_ALLOC_NONE, colormap, screen->root, argb->visual_id);
    colormap_ = XColormap(c, colormap);
    const std::uint32_t values[] = {0, 0, 1, events, colormap, overlay_.currentCursor()};
    created = xcb_create_window_checked(
        c, 32, window, screen->root, static_cast<std::int16_t>(place_.pixels.x),
        static_cast<std::int16_t>(place_.pixels.y), static_cast<std::uint16_t>(place_.pixels.width),
        static_cast<std::uint16_t>(place_.pixels.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
        argb->visual_id,
        XCB_CW_BACK_PIXEL | XCB_CW_BORDER_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK |
            XCB_CW_COLORMAP | XCB_CW_CURSOR,
        values);
  } else {
    visual_ = findVisual(screen, screen->root_depth, screen->root_visual);
    // No background: until the first draw the screen behind stays visible.
    const std::uint32_t values[] = {XCB_BACK_PIXMAP_NONE, 1, events, overlay_.currentCursor()};
    created = xcb_create_window_checked(
        c, XCB_COPY_FROM_PARENT, window, screen->root, static_cast<std::int16_t>(place_.pixels.x),
        static_cast<std::int16_t>(place_.pixels.y), static_cast<std::uint16_t>(place_.pixels.width),
        static_cast<std::uint16_t>(place_.pixels.height), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
        screen->root_visual,
        XCB_CW_BACK_PIXMAP | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK | XCB_CW_CURSOR, values);
  }
  const bool failed = connection.check(created) != nullptr;
  if (failed) return;
  window_ = XWindow(c, window);
  // Marks for the window list: the overlay level and this process as the owner.
  setCardinal(c, window, connection.atoms().orvelWindowLevel,
              static_cast<std::uint32_t>(options_.level));
  setCardinal(c, window, connection.atoms().netWmPid, static_cast<std::uint32_t>(::getpid()));
  const std::string title = "Orvel overlay";
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      static_cast<std::uint32_t>(title.size()), title.data());
  if (options_.ignoresMouse && connection.extensions().xfixes) {
    // An empty input shape lets every click through to the windows below.
    const xcb_xfixes_region_t region = connection.generateId();
    xcb_xfixes_create_region(c, region, 0, nullptr);
    xcb_xfixes_set_window_shape_region(c, window, 2 /* input */, 0, 0, region);
    xcb_xfixes_destroy_region(c, region);
  }
  overlay_.pump_.setWindowHandler(window, [this, alive = alive_](const xcb_generic_event_t& e) {
    if (*alive) handle(e);
  });
}

void X11OverlayPanel::takeStill() {
  xcb_connection_t* c = overlay_.connection_.get();
  const PixelRect area = place_.pixels.intersection(overlay_.screens_.layout().root());
  if (area.empty()) return;
  const Reply<xcb_get_image_reply> image(
      overlay_.connection_,
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, overlay_.connection_.root(),
                    static_cast<std::int16_t>(area.x), static_cast<std::int16_t>(area.y),
                    static_cast<std::uint16_t>(area.width), static_cast<std::uint16_t>(area.height),
                    ~0u));
  const std::size_t rowBytes = static_cast<std::size_t>(area.width) * 4;
  if (!image || image->depth != 24 ||
      static_cast<std::size_t>(xcb_get_image_data_length(image.get())) <
          rowBytes * static_cast<std::size_t>(area.height)) {
    return;
  }
  still_.reset(
      cairo_image_surface_create(CAIRO_FORMAT_RGB24, place_.pixels.width, place_.pixels.height));
  cairo_surface_flush(still_.get());
  std::uint8_t* dst = cairo_image_surface_get_data(still_.get());
  const int stride = cairo_image_surface_get_stride(still_.get());
  const std::uint8_t* src = xcb_get_image_data(image.get());
  for (int y = 0; y < area.height; ++y) {
    std::memcpy(dst + static_cast<std::size_t>(y + area.y - place_.pixels.y) * stride +
                    static_cast<std::size_t>(area.x - place_.pixels.x) * 4,
                src + static_cast<std::size_t>(y) * rowBytes, rowBytes);
  }
  cairo_surface_mark_dirty(still_.get());
}

void X11OverlayPanel::show(bool makeKey) {
  if (closed_ || !window_) return;
  xcb_connection_t* c = overlay_.connection_.get();
  if (!shown_) {
    if (!translucent_) takeStill();
    xcb_map_window(c, window_.id());
    shown_ = true;
  }
  const std::uint32_t above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(c, window_.id(), XCB_CONFIG_WINDOW_STACK_MODE, &above);
  overlay_.connection_.flush();
  overlay_.panelShown(this, makeKey);
}

void X11OverlayPanel::close() {
  if (closed_) return;
  closed_ = true;
  redrawLater_.stop();
  if (!window_) return;
  overlay_.pump_.removeWindowHandler(window_.id());
  overlay_.panelClosed(this);
  surface_.reset();
  if (overlay_.connection_.ok()) {
    xcb_unmap_window(overlay_.connection_.get(), window_.id());
    window_.reset();
    overlay_.connection_.flush();
  }
}

void X11OverlayPanel::setCursor(xcb_cursor_t cursor) {
  if (!window_ || closed_) return;
  xcb_change_window_attributes(overlay_.connection_.get(), window_.id(), XCB_CW_CURSOR, &cursor);
}

Point X11OverlayPanel::convertToScreen(Point p) const {
  return {p.x + options_.frame.x, p.y + options_.frame.y};
}

Rect X11OverlayPanel::convertFromScreen(const Rect& r) const {
  return r.offsetBy(-options_.frame.x, -options_.frame.y);
}

Point X11OverlayPanel::toWindow(int eventX, int eventY) const {
  return {eventX / place_.scale, place_.size().height - eventY / place_.scale};
}

void X11OverlayPanel::handle(const xcb_generic_event_t& event) {
  switch (event.response_type & 0x7f) {
    case XCB_EXPOSE:
      if (reinterpret_cast<const xcb_expose_event_t&>(event).count == 0) redraw();
      return;
    case XCB_BUTTON_PRESS: {
      const auto& e = reinterpret_cast<const xcb_button_press_event_t&>(event);
      if (e.detail == 1) view_.mouseDown(toWindow(e.event_x, e.event_y));
      return;
    }
    case XCB_MOTION_NOTIFY: {
      const auto& e = reinterpret_cast<const xcb_motion_notify_event_t&>(event);
      if (e.state & XCB_BUTTON_MASK_1) view_.mouseDragged(toWindow(e.event_x, e.event_y));
      return;
    }
    case XCB_BUTTON_RELEASE: {
      const auto& e = reinterpret_cast<const xcb_button_release_event_t&>(event);
      if (e.detail == 1) view_.mouseUp(toWindow(e.event_x, e.event_y));
      return;
    }
    case XCB_KEY_PRESS: {
      const auto& e = reinterpret_cast<const xcb_key_press_event_t&>(event);
      const auto& escape = overlay_.escapeKeys_;
      if (std::find(escape.begin(), escape.end(), e.detail) != escape.end()) {
        view_.keyDown(platform::kEscapeKeyCode);
      }
      return;
    }
    default:
      return;
  }
}

void X11OverlayPanel::redraw() {
  if (!shown_ || closed_ || !window_ || !visual_ || !overlay_.connection_.ok()) return;
  xcb_connection_t* c = overlay_.connection_.get();
  if (!surface_) {
    surface_.reset(cairo_xcb_surface_create(c, window_.id(), visual_, place_.pixels.width,
                                            place_.pixels.height));
    overlay_.cairoDevice_.hold(surface_.get());
  }
  cairo_t* cr = cairo_create(surface_.get());
  // Drawn off screen first, then copied in one go: no flicker between the still and the dimming.
  cairo_push_group(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  if (still_) {
    cairo_set_source_surface(cr, still_.get(), 0, 0);
  } else {
    cairo_set_source_rgba(cr, 0, 0, 0, 0);
  }
  cairo_paint(cr);
  platform::CairoPanelPainter(cr, place_.size(), place_.scale).paint(content());
  cairo_pop_group_to_source(cr);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface_.get());
  // cairo waits for replies of its own on this connection: the flush lets the pump see the events
  // that queued meanwhile.
  overlay_.connection_.flush();
}

}  // namespace orvel::x11
