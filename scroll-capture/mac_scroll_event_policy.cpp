#include "mac_scroll_event_policy.h"

#include <algorithm>
#include <cmath>

namespace orvel::scroll {

namespace {
constexpr double kMaxFraction = 0.8;
constexpr double kLinePoints = 40;
constexpr int kMaxLineEvents = 12;
constexpr int kPixelEvents = 3;
constexpr double kInt32Max = 2147483647.0;
}  // namespace

std::optional<std::vector<platform::ScrollWheelEvent>> MacScrollEventPolicy::events(
    platform::ScrollEvents& port, const Rect& region, double fraction, ScrollEventMethod method) {
  if (!std::isfinite(fraction) || std::fabs(fraction) > kMaxFraction || fraction == 0) {
    return std::nullopt;
  }
  if (!(region.width > 0) || !(region.height > 0) || !region.isFinite()) return std::nullopt;
  const double h = region.height;
  const double step = h * fraction / 3;
  if (!(std::fabs(step) < kInt32Max)) return std::nullopt;
  if (!port.openSource()) return std::nullopt;

  int count;
  platform::ScrollUnit unit;
  std::int32_t delta;
  if (method == ScrollEventMethod::pixels) {
    count = kPixelEvents;
    unit = platform::ScrollUnit::pixel;
    delta = static_cast<std::int32_t>(std::round(-h * fraction / 3));
  } else {
    count = static_cast<int>(
        std::clamp(std::ceil(h * std::fabs(fraction) / kLinePoints), 1.0, double(kMaxLineEvents)));
    unit = platform::ScrollUnit::line;
    delta = fraction > 0 ? -1 : 1;
  }
  std::vector<platform::ScrollWheelEvent> list;
  list.reserve(count);
  for (int i = 0; i < count; ++i) {
    auto event = port.createScrollWheelEvent(unit, 1, delta, 0, 0);
    if (!event) {
      port.closeSource();
      return std::nullopt;
    }
    event->location = region.center();
    event->flags = 0;
    event->sourceUserData = eventTag;
    event->scrollPhase = 0;
    event->momentumPhase = 0;
    list.push_back(*event);
  }
  port.closeSource();
  return list;
}

std::optional<std::vector<platform::ScrollWheelEvent>> MacScrollEventPolicy::events(
    platform::ScrollEvents& port, const MacScrollTarget& target, double fraction,
    ScrollEventMethod method) {
  auto list = events(port, target.region, fraction, method);
  if (list) {
    for (auto& e : *list)
      e.location = target.point;
  }
  return list;
}

void MacScrollEventPolicy::post(platform::ScrollEvents& port, platform::ScrollWheelEvent event,
                                const MacScrollTarget& target) {
  event.location = target.point;
  port.post(event);
}

}  // namespace orvel::scroll
