#include "platform/x11/monitor_layout.h"

#include <xcb/randr.h>

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

PixelRect PixelRect::intersection(const PixelRect& o) const {
  const int x0 = std::max(x, o.x);
  const int y0 = std::max(y, o.y);
  const int x1 = std::min(x + width, o.x + o.width);
  const int y1 = std::min(y + height, o.y + o.height);
  if (x1 <= x0 || y1 <= y0) return {x0, y0, 0, 0};
  return {x0, y0, x1 - x0, y1 - y0};
}

std::optional<double> xftDpi(std::string_view resources) {
  constexpr std::string_view kKey = "Xft.dpi:";
  std::size_t pos = 0;
  while (pos < resources.size()) {
    std::size_t end = resources.find('\n', pos);
    if (end == std::string_view::npos) end = resources.size();
    std::string_view line = resources.substr(pos, end - pos);
    pos = end + 1;
    if (!line.starts_with(kKey)) continue;
    line.remove_prefix(kKey.size());
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
      line.remove_prefix(1);
    double dpi = 0;
    auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), dpi);
    if (ec == std::errc() && std::isfinite(dpi) && dpi > 0) return dpi;
    return std::nullopt;
  }
  return std::nullopt;
}

MonitorLayout MonitorLayout::read(X11Connection& connection) {
  xcb_connection_t* c = connection.get();
  const xcb_screen_t* screen = connection.screen();
  const PixelRect root{0, 0, screen->width_in_pixels, screen->height_in_pixels};
  Reply<xcb_randr_get_monitors_reply> monitorsReply;
  if (connection.extensions().randr)
    monitorsReply = {connection, xcb_randr_get_monitors(c, connection.root(), 1)};
  const Reply<xcb_get_property_reply> resources(
      connection, xcb_get_property(c, 0, connection.root(), XCB_ATOM_RESOURCE_MANAGER,
                                   XCB_ATOM_STRING, 0, 1 << 16));
  std::vector<Monitor> monitors;
  if (const auto* r = monitorsReply.get()) {
    for (auto it = xcb_randr_get_monitors_monitors_iterator(r); it.rem;
         xcb_randr_monitor_info_next(&it)) {
      const auto* m = it.data;
      if (m->width == 0 || m->height == 0) continue;
      monitors.push_back({m->name, {m->x, m->y, m->width, m->height}, m->primary != 0});
    }
  }
  double scale = 1.0;
  if (const auto* r = resources.get()) {
    const auto* text = static_cast<const char*>(xcb_get_property_value(r));
    const int length = xcb_get_property_value_length(r);
    if (auto dpi = xftDpi(std::string_view(text, static_cast<std::size_t>(length)))) {
      scale = *dpi / 96.0;
    }
  }
  if (monitors.empty()) monitors.push_back({1, root, true});
  return MonitorLayout(std::move(monitors), scale, root);
}

MonitorLayout::MonitorLayout(std::vector<Monitor> monitors, double scale, PixelRect root)
    : monitors_(std::move(monitors)), scale_(scale), root_(root) {
  auto main = std::find_if(monitors_.begin(), monitors_.end(), [](auto& m) { return m.primary; });
  if (main == monitors_.end()) {
    main = std::find_if(monitors_.begin(), monitors_.end(),
                        [](auto& m) { return m.pixels.x == 0 && m.pixels.y == 0; });
  }
  if (main != monitors_.end()) std::rotate(monitors_.begin(), main, main + 1);
}

const Monitor* MonitorLayout::find(std::uint32_t id) const {
  for (const auto& m : monitors_) {
    if (m.id == id) return &m;
  }
  return nullptr;
}

Rect MonitorLayout::toGlobal(const PixelRect& p) const {
  const Point o = toGlobal(p.x, p.y);
  return {o.x, o.y, p.width / scale_, p.height / scale_};
}

Point MonitorLayout::toGlobal(double rootX, double rootY) const {
  const PixelRect& main = monitors_.front().pixels;
  return {(rootX - main.x) / scale_, (rootY - main.y) / scale_};
}

Point MonitorLayout::toRoot(Point global) const {
  const PixelRect& main = monitors_.front().pixels;
  return {main.x + global.x * scale_, main.y + global.y * scale_};
}

PixelRect MonitorLayout::toRootPixels(const Rect& global) const {
  const Rect g = global.standardized();
  const Point a = toRoot({g.minX(), g.minY()});
  const Point b = toRoot({g.maxX(), g.maxY()});
  const double x0 = std::floor(a.x + 1e-6), y0 = std::floor(a.y + 1e-6);
  const double x1 = std::ceil(b.x - 1e-6), y1 = std::ceil(b.y - 1e-6);
  auto clampInt = [](double v) { return static_cast<int>(std::clamp(v, -1.0e9, 1.0e9)); };
  return {clampInt(x0), clampInt(y0), clampInt(x1 - x0), clampInt(y1 - y0)};
}

PixelRect MonitorLayout::screenToRootPixels(const Rect& inScreen) const {
  const Rect s = inScreen.standardized();
  return toRootPixels({s.x, mainHeight() - s.maxY(), s.width, s.height});
}

double MonitorLayout::mainHeight() const {
  return monitors_.front().pixels.height / scale_;
}

}  // namespace orvel::x11
