#include "platform/x11/window_composer.h"

#include <poll.h>
#include <xcb/composite.h>
#include <xcb/damage.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

bool WindowComposer::available() const {
  return connection_.extensions().composite && connection_.extensions().render;
}

bool WindowComposer::redirect() {
  if (redirected_) return true;
  if (!available()) return false;
  xcb_connection_t* c = connection_.get();
  // Grabbed, so that no client draws between the redirect and the damage watches: every repaint
  // after the redirect is reported.
  xcb_grab_server(c);
  XcbError error = connection_.check(xcb_composite_redirect_subwindows_checked(
      c, connection_.root(), XCB_COMPOSITE_REDIRECT_AUTOMATIC));
  if (!error) {
    watchRepaints();
    // The initial reports arrive before the answer to this; nobody else draws yet.
    connection_.sync();
    while (xcb_generic_event_t* e = xcb_poll_for_event(c))
      std::free(e);
  }
  xcb_ungrab_server(c);
  connection_.flush();
  redirected_ = !error;
  redirectedAt_ = std::chrono::steady_clock::now();
  return redirected_;
}

std::optional<std::vector<WindowComposer::Layer>> WindowComposer::shownTopLevels() {
  xcb_connection_t* c = connection_.get();
  const Reply<xcb_query_tree_reply> tree(connection_, xcb_query_tree(c, connection_.root()));
  if (!tree) return std::nullopt;
  const xcb_window_t* children = xcb_query_tree_children(tree.get());
  const int count = xcb_query_tree_children_length(tree.get());
  std::vector<Reply<xcb_get_window_attributes_reply>> attributes;
  std::vector<Reply<xcb_get_geometry_reply>> geometries;
  attributes.reserve(static_cast<std::size_t>(count));
  geometries.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    attributes.emplace_back(connection_, xcb_get_window_attributes(c, children[i]));
    geometries.emplace_back(connection_, xcb_get_geometry(c, children[i]));
  }
  std::vector<Layer> layers;
  for (int i = 0; i < count; ++i) {
    const auto& a = attributes[static_cast<std::size_t>(i)];
    const auto& g = geometries[static_cast<std::size_t>(i)];
    if (!a || !g || a->map_state != XCB_MAP_STATE_VIEWABLE ||
        a->_class != XCB_WINDOW_CLASS_INPUT_OUTPUT) {
      continue;
    }
    const PixelRect outer{g->x, g->y, g->width + 2 * g->border_width,
                          g->height + 2 * g->border_width};
    layers.push_back({children[i], a->visual, g->depth, outer, g->border_width});
  }
  return layers;
}

void WindowComposer::watchRepaints() {
  if (!connection_.extensions().damage) return;
  xcb_connection_t* c = connection_.get();
  const auto layers = shownTopLevels();
  if (!layers) return;
  std::vector<StackedWindow> stack;
  stack.reserve(layers->size());
  for (const Layer& layer : *layers)
    stack.push_back({layer.window, layer.outer, layer.border});
  for (auto& [window, parts] : hiddenParts(stack)) {
    XDamage damage(c, connection_.generateId());
    xcb_damage_create(c, damage.id(), window, XCB_DAMAGE_REPORT_LEVEL_DELTA_RECTANGLES);
    // A new damage object reports the whole window at once: forget that, so that only drawing
    // from now on counts.
    xcb_damage_subtract(c, damage.id(), XCB_NONE, XCB_NONE);
    damages_.push_back(std::move(damage));
    pending_.owe(window, parts);
  }
}

void WindowComposer::unredirect() {
  if (!redirected_) return;
  xcb_connection_t* c = connection_.get();
  damages_.clear();
  pending_.clear();
  xcb_composite_unredirect_subwindows(c, connection_.root(), XCB_COMPOSITE_REDIRECT_AUTOMATIC);
  connection_.flush();
  redirected_ = false;
}

void WindowComposer::noteEvent(const xcb_generic_event_t* event) {
  if (pending_.empty() || !connection_.extensions().damage) return;
  const auto* damage = xcb_get_extension_data(connection_.get(), &xcb_damage_id);
  if ((event->response_type & 0x7f) != damage->first_event + XCB_DAMAGE_NOTIFY) return;
  const auto* notify = reinterpret_cast<const xcb_damage_notify_event_t*>(event);
  pending_.repainted(notify->drawable,
                     {notify->area.x, notify->area.y, notify->area.width, notify->area.height});
}

bool WindowComposer::owing(const std::vector<Layer>& layers, const PixelRect& area) const {
  for (const Layer& layer : layers) {
    const PixelRect part = layer.outer.intersection(area);
    const int dx = layer.outer.x + layer.border;
    const int dy = layer.outer.y + layer.border;
    if (pending_.owes(layer.window, {part.x - dx, part.y - dy, part.width, part.height}))
      return true;
  }
  return false;
}

void WindowComposer::awaitRepaints(const std::vector<Layer>& layers, const PixelRect& area) {
  xcb_connection_t* c = connection_.get();
  const auto deadline = redirectedAt_ + repaintBudget_;
  for (;;) {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
      noteEvent(e);
      std::free(e);
    }
    if (!owing(layers, area) || !connection_.ok()) return;
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    pollfd fd{connection_.fd(), POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) return;
  }
}

bool WindowComposer::loadFormats() {
  if (formatsLoaded_) return true;
  xcb_connection_t* c = connection_.get();
  const Reply<xcb_render_query_pict_formats_reply> r(connection_, xcb_render_query_pict_formats(c));
  if (!r) return false;
  for (auto s = xcb_render_query_pict_formats_screens_iterator(r.get()); s.rem;
       xcb_render_pictscreen_next(&s)) {
    for (auto d = xcb_render_pictscreen_depths_iterator(s.data); d.rem;
         xcb_render_pictdepth_next(&d)) {
      for (auto v = xcb_render_pictdepth_visuals_iterator(d.data); v.rem;
           xcb_render_pictvisual_next(&v)) {
        visualFormats_[v.data->visual] = v.data->format;
      }
    }
  }
  formatsLoaded_ = true;
  return true;
}

std::optional<xcb_window_t> WindowComposer::topLevelOf(xcb_window_t window) {
  xcb_connection_t* c = connection_.get();
  for (int depth = 0; depth < 16; ++depth) {
    const Reply<xcb_query_tree_reply> tree(connection_, xcb_query_tree(c, window));
    if (!tree) return std::nullopt;
    if (tree->parent == connection_.root()) return window;
    if (tree->parent == XCB_NONE) return std::nullopt;
    window = tree->parent;
  }
  return std::nullopt;
}

std::optional<XPixmap> WindowComposer::compose(const PixelRect& area,
                                               const std::set<xcb_window_t>& leftOut) {
  if (!redirected_ || !loadFormats()) return std::nullopt;
  xcb_connection_t* c = connection_.get();
  const xcb_screen_t* screen = connection_.screen();
  auto rootFormat = visualFormats_.find(screen->root_visual);
  if (rootFormat == visualFormats_.end()) return std::nullopt;

  const auto shown = shownTopLevels();
  if (!shown) return std::nullopt;
  std::vector<Layer> layers;
  for (const Layer& layer : *shown) {
    if (!leftOut.count(layer.window) && !layer.outer.intersection(area).empty())
      layers.push_back(layer);
  }
  awaitRepaints(layers, area);

  XPixmap target(c, connection_.generateId());
  xcb_create_pixmap(c, screen->root_depth, target.id(), connection_.root(),
                    static_cast<std::uint16_t>(area.width),
                    static_cast<std::uint16_t>(area.height));
  XPicture targetPicture(c, connection_.generateId());
  xcb_render_create_picture(c, targetPicture.id(), target.id(), rootFormat->second, 0, nullptr);
  // The desktop behind every window: black, as the root shows without a wallpaper.
  const xcb_rectangle_t whole{0, 0, static_cast<std::uint16_t>(area.width),
                              static_cast<std::uint16_t>(area.height)};
  const xcb_render_color_t black{0, 0, 0, 0xffff};
  xcb_render_fill_rectangles(c, XCB_RENDER_PICT_OP_SRC, targetPicture.id(), black, 1, &whole);

  for (const Layer& layer : layers) {
    auto format = visualFormats_.find(layer.visual);
    if (format == visualFormats_.end()) continue;
    XPixmap contents(c, connection_.generateId());
    xcb_composite_name_window_pixmap(c, layer.window, contents.id());
    XPicture source(c, connection_.generateId());
    // Children are drawn into their top-level's pixmap; IncludeInferiors keeps them.
    const std::uint32_t subwindowMode = XCB_SUBWINDOW_MODE_INCLUDE_INFERIORS;
    xcb_render_create_picture(c, source.id(), contents.id(), format->second,
                              XCB_RENDER_CP_SUBWINDOW_MODE, &subwindowMode);
    const std::uint8_t op = layer.depth == 32 ? XCB_RENDER_PICT_OP_OVER : XCB_RENDER_PICT_OP_SRC;
    const PixelRect part = layer.outer.intersection(area);
    xcb_render_composite(
        c, op, source.id(), XCB_NONE, targetPicture.id(),
        static_cast<std::int16_t>(part.x - layer.outer.x),
        static_cast<std::int16_t>(part.y - layer.outer.y), 0, 0,
        static_cast<std::int16_t>(part.x - area.x), static_cast<std::int16_t>(part.y - area.y),
        static_cast<std::uint16_t>(part.width), static_cast<std::uint16_t>(part.height));
    // What the client never drew again holds whatever lay on top at the redirect (an excluded
    // window's pixels, perhaps): black instead, as the desktop behind.
    const int dx = layer.outer.x + layer.border;
    const int dy = layer.outer.y + layer.border;
    std::vector<xcb_rectangle_t> unpainted;
    for (const PixelRect& r :
         pending_.owedWithin(layer.window, {part.x - dx, part.y - dy, part.width, part.height})) {
      unpainted.push_back({static_cast<std::int16_t>(r.x + dx - area.x),
                           static_cast<std::int16_t>(r.y + dy - area.y),
                           static_cast<std::uint16_t>(r.width),
                           static_cast<std::uint16_t>(r.height)});
    }
    if (!unpainted.empty()) {
      xcb_render_fill_rectangles(c, XCB_RENDER_PICT_OP_SRC, targetPicture.id(), black,
                                 static_cast<std::uint32_t>(unpainted.size()), unpainted.data());
    }
  }
  return target;
}

}  // namespace orvel::x11
