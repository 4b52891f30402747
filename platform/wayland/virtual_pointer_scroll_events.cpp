#include "platform/wayland/virtual_pointer_scroll_events.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace orvel::wayland {

std::optional<PointerMotion> motionTo(const OutputLayout& layout, Point global) {
  const auto& outputs = layout.outputs();
  if (outputs.empty() || !std::isfinite(global.x) || !std::isfinite(global.y)) return std::nullopt;
  Rect box = outputs.front().logical;
  for (const auto& o : outputs)
    box = box.unionWith(o.logical);
  // Global coordinates start at the main output, which the layout lists first.
  const Point main = outputs.front().logical.origin();
  const auto along = [](double at, double extent) {
    return static_cast<std::uint32_t>(std::clamp(std::round(at), 0.0, std::max(extent - 1, 0.0)));
  };
  const double width = std::ceil(box.width), height = std::ceil(box.height);
  return PointerMotion{along(global.x + main.x - box.x, width),
                       along(global.y + main.y - box.y, height), static_cast<std::uint32_t>(width),
                       static_cast<std::uint32_t>(height)};
}

std::optional<WheelMotion> wheelMotionFor(const platform::ScrollWheelEvent& event) {
  if (event.delta1 == 0) return std::nullopt;
  const double towardsEnd = -static_cast<double>(event.delta1);
  if (event.unit == platform::ScrollUnit::line) {
    const auto steps = static_cast<std::int32_t>(
        std::clamp(towardsEnd, -double(kMaxStepsPerEvent), double(kMaxStepsPerEvent)));
    return WheelMotion{steps * kWheelStepValue, steps};
  }
  return WheelMotion{std::clamp(towardsEnd, -kMaxPixelsPerEvent, kMaxPixelsPerEvent), 0};
}

namespace {

const wl_registry_listener kRegistry = {
    [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
       std::uint32_t) {
      auto* manager = static_cast<zwlr_virtual_pointer_manager_v1**>(data);
      if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0 && !*manager)
        *manager = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
    },
    [](void*, wl_registry*, std::uint32_t) {},
};

}  // namespace

VirtualPointerScrollEvents::VirtualPointerScrollEvents(const char* display)
    : connection_(WaylandConnection::open(display)) {
  if (!connection_ || !connection_->seat()) return;
  // The connection binds what every helper uses; the virtual pointer manager is bound here.
  registry_.reset(wl_display_get_registry(connection_->display()));
  wl_registry_add_listener(registry_.get(), &kRegistry, &manager_);
  if (!connection_->roundtrip() || !manager_) return;
  // Made now rather than at the first scroll: clients learn of a new pointer device only on their
  // next turn, and wheel events sent before that are lost to them.
  pointer_ = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(manager_, connection_->seat());
  connection_->flush();
}

VirtualPointerScrollEvents::~VirtualPointerScrollEvents() {
  if (pointer_) zwlr_virtual_pointer_v1_destroy(pointer_);
  if (manager_) zwlr_virtual_pointer_manager_v1_destroy(manager_);
  if (connection_) connection_->flush();
}

bool VirtualPointerScrollEvents::openSource() {
  if (!pointer_ || !connection_->ok()) return setSourceOpen(false);
  // Also brings the outputs up to date for the locations of the coming events.
  return setSourceOpen(connection_->roundtrip());
}

void VirtualPointerScrollEvents::restPointer(Point place) {
  if (!pointer_ || !connection_->ok()) return;
  connection_->dispatchAvailable();
  const auto motion = motionTo(connection_->layout(), place);
  if (!motion) return;
  zwlr_virtual_pointer_v1_motion_absolute(pointer_, now(), motion->x, motion->y, motion->xExtent,
                                          motion->yExtent);
  zwlr_virtual_pointer_v1_frame(pointer_);
  connection_->roundtrip();
}

std::uint32_t VirtualPointerScrollEvents::now() const {
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start_)
                                        .count());
}

void VirtualPointerScrollEvents::post(const platform::ScrollWheelEvent& event) {
  if (!pointer_ || !connection_->ok()) return;
  const auto wheel = wheelMotionFor(event);
  if (!wheel) return;
  connection_->dispatchAvailable();
  if (const auto motion = motionTo(connection_->layout(), event.location)) {
    zwlr_virtual_pointer_v1_motion_absolute(pointer_, now(), motion->x, motion->y, motion->xExtent,
                                            motion->yExtent);
    zwlr_virtual_pointer_v1_frame(pointer_);
  }
  zwlr_virtual_pointer_v1_axis_source(pointer_, WL_POINTER_AXIS_SOURCE_WHEEL);
  const wl_fixed_t value = wl_fixed_from_double(wheel->value);
  if (wheel->steps != 0) {
    zwlr_virtual_pointer_v1_axis_discrete(pointer_, now(), WL_POINTER_AXIS_VERTICAL_SCROLL, value,
                                          wheel->steps);
  } else {
    zwlr_virtual_pointer_v1_axis(pointer_, now(), WL_POINTER_AXIS_VERTICAL_SCROLL, value);
  }
  zwlr_virtual_pointer_v1_frame(pointer_);
  connection_->roundtrip();
}

}  // namespace orvel::wayland
