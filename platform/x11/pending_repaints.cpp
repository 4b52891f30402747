#include "platform/x11/pending_repaints.h"

namespace orvel::x11 {

namespace {

pixman_box32_t boxOf(const PixelRect& r) {
  return {r.x, r.y, r.x + r.width, r.y + r.height};
}

}  // namespace

void PendingRepaints::owe(xcb_window_t window, const std::vector<PixelRect>& parts) {
  auto [it, added] = owed_.try_emplace(window);
  if (added) pixman_region32_init(&it->second);
  for (const PixelRect& p : parts) {
    if (!p.empty())
      pixman_region32_union_rect(&it->second, &it->second, p.x, p.y, static_cast<unsigned>(p.width),
                                 static_cast<unsigned>(p.height));
  }
  if (!pixman_region32_not_empty(&it->second)) {
    pixman_region32_fini(&it->second);
    owed_.erase(it);
  }
}

void PendingRepaints::repainted(xcb_window_t window, const PixelRect& part) {
  auto it = owed_.find(window);
  if (it == owed_.end() || part.empty()) return;
  pixman_region32_t drawn;
  pixman_region32_init_rect(&drawn, part.x, part.y, static_cast<unsigned>(part.width),
                            static_cast<unsigned>(part.height));
  pixman_region32_subtract(&it->second, &it->second, &drawn);
  pixman_region32_fini(&drawn);
  if (!pixman_region32_not_empty(&it->second)) {
    pixman_region32_fini(&it->second);
    owed_.erase(it);
  }
}

bool PendingRepaints::owes(xcb_window_t window, const PixelRect& part) const {
  auto it = owed_.find(window);
  if (it == owed_.end() || part.empty()) return false;
  pixman_box32_t box = boxOf(part);
  return pixman_region32_contains_rectangle(const_cast<pixman_region32_t*>(&it->second), &box) !=
         PIXMAN_REGION_OUT;
}

std::vector<PixelRect> PendingRepaints::owedWithin(xcb_window_t window,
                                                   const PixelRect& part) const {
  std::vector<PixelRect> out;
  auto it = owed_.find(window);
  if (it == owed_.end() || part.empty()) return out;
  pixman_region32_t within;
  pixman_region32_init_rect(&within, part.x, part.y, static_cast<unsigned>(part.width),
                            static_cast<unsigned>(part.height));
  pixman_region32_intersect(&within, &within, const_cast<pixman_region32_t*>(&it->second));
  int count = 0;
  const pixman_box32_t* boxes = pixman_region32_rectangles(&within, &count);
  for (int i = 0; i < count; ++i)
    out.push_back({boxes[i].x1, boxes[i].y1, boxes[i].x2 - boxes[i].x1, boxes[i].y2 - boxes[i].y1});
  pixman_region32_fini(&within);
  return out;
}

void PendingRepaints::clear() {
  for (auto& [window, region] : owed_)
    pixman_region32_fini(&region);
  owed_.clear();
}

std::map<xcb_window_t, std::vector<PixelRect>> hiddenParts(
    const std::vector<StackedWindow>& stack) {
  std::map<xcb_window_t, std::vector<PixelRect>> out;
  for (std::size_t i = 0; i < stack.size(); ++i) {
    const StackedWindow& w = stack[i];
    std::vector<PixelRect> parts;
    for (std::size_t j = i + 1; j < stack.size(); ++j) {
      const PixelRect hidden = w.outer.intersection(stack[j].outer);
      if (!hidden.empty())
        parts.push_back({hidden.x - w.outer.x - w.border, hidden.y - w.outer.y - w.border,
                         hidden.width, hidden.height});
    }
    if (!parts.empty()) out.emplace(w.window, std::move(parts));
  }
  return out;
}

}  // namespace orvel::x11
