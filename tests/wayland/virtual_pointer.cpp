#include "virtual_pointer.h"

#include <wayland-client.h>

#include <cstring>

#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace orvel::waylandtest {

struct VirtualPointer::Objects {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_seat* seat = nullptr;
  zwlr_virtual_pointer_manager_v1* manager = nullptr;
  zwlr_virtual_pointer_v1* pointer = nullptr;
  ~Objects() {
    if (pointer) zwlr_virtual_pointer_v1_destroy(pointer);
    if (manager) zwlr_virtual_pointer_manager_v1_destroy(manager);
    if (seat) wl_seat_destroy(seat);
    if (registry) wl_registry_destroy(registry);
    if (display) wl_display_disconnect(display);
  }
};

namespace {

const wl_registry_listener kRegistry = {
    [](void* data, wl_registry* r, std::uint32_t name, const char* interface, std::uint32_t) {
      auto* objects = static_cast<std::pair<wl_seat**, zwlr_virtual_pointer_manager_v1**>*>(data);
      if (std::strcmp(interface, wl_seat_interface.name) == 0 && !*objects->first) {
        *objects->first = static_cast<wl_seat*>(wl_registry_bind(r, name, &wl_seat_interface, 1));
      } else if (std::strcmp(interface, zwlr_virtual_pointer_manager_v1_interface.name) == 0) {
        *objects->second = static_cast<zwlr_virtual_pointer_manager_v1*>(
            wl_registry_bind(r, name, &zwlr_virtual_pointer_manager_v1_interface, 1));
      }
    },
    [](void*, wl_registry*, std::uint32_t) {},
};

}  // namespace

std::unique_ptr<VirtualPointer> VirtualPointer::open(const std::string& display, int width,
                                                     int height) {
  std::unique_ptr<VirtualPointer> p(new VirtualPointer);
  p->objects_ = std::make_unique<Objects>();
  Objects& o = *p->objects_;
  o.display = wl_display_connect(display.c_str());
  if (!o.display) return nullptr;
  o.registry = wl_display_get_registry(o.display);
  std::pair<wl_seat**, zwlr_virtual_pointer_manager_v1**> slots{&o.seat, &o.manager};
  wl_registry_add_listener(o.registry, &kRegistry, &slots);
  if (wl_display_roundtrip(o.display) < 0 || !o.manager || !o.seat) return nullptr;
  o.pointer = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(o.manager, o.seat);
  p->width_ = width;
  p->height_ = height;
  if (wl_display_roundtrip(o.display) < 0) return nullptr;
  return p;
}

VirtualPointer::~VirtualPointer() = default;

void VirtualPointer::done() {
  zwlr_virtual_pointer_v1_frame(objects_->pointer);
  wl_display_roundtrip(objects_->display);
}

void VirtualPointer::moveTo(int x, int y) {
  zwlr_virtual_pointer_v1_motion_absolute(
      objects_->pointer, time_++, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
      static_cast<std::uint32_t>(width_), static_cast<std::uint32_t>(height_));
  done();
}

void VirtualPointer::button(bool down, unsigned code) {
  zwlr_virtual_pointer_v1_button(
      objects_->pointer, time_++, code,
      down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
  done();
}

void VirtualPointer::wheel(int clicks) {
  zwlr_virtual_pointer_v1_axis_source(objects_->pointer, WL_POINTER_AXIS_SOURCE_WHEEL);
  zwlr_virtual_pointer_v1_axis_discrete(objects_->pointer, time_++, WL_POINTER_AXIS_VERTICAL_SCROLL,
                                        wl_fixed_from_int(15 * clicks), clicks);
  done();
}

void VirtualPointer::drag(int x0, int y0, int x1, int y1, int steps) {
  moveTo(x0, y0);
  button(true);
  for (int i = 1; i <= steps; ++i)
    moveTo(x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps);
  button(false);
}

}  // namespace orvel::waylandtest
