#include "virtual_pointer.h"

#include <wayland-client.h>

#include "virtual_device_connection.h"
#include "wlr-virtual-pointer-unstable-v1-client-protocol.h"

namespace orvel::waylandtest {

struct VirtualPointer::Objects
    : VirtualDeviceConnection<zwlr_virtual_pointer_manager_v1,
                              zwlr_virtual_pointer_manager_v1_destroy, zwlr_virtual_pointer_v1,
                              zwlr_virtual_pointer_v1_destroy> {};

std::unique_ptr<VirtualPointer> VirtualPointer::open(const std::string& display, int width,
                                                     int height) {
  std::unique_ptr<VirtualPointer> p(new VirtualPointer);
  p->objects_ = std::make_unique<Objects>();
  Objects& o = *p->objects_;
  if (!o.open(display, zwlr_virtual_pointer_manager_v1_interface)) return nullptr;
  o.device = zwlr_virtual_pointer_manager_v1_create_virtual_pointer(o.manager(), o.seat());
  p->width_ = width;
  p->height_ = height;
  if (wl_display_roundtrip(o.display()) < 0) return nullptr;
  return p;
}

VirtualPointer::~VirtualPointer() = default;

void VirtualPointer::done() {
  zwlr_virtual_pointer_v1_frame(objects_->device);
  wl_display_roundtrip(objects_->display());
}

void VirtualPointer::moveTo(int x, int y) {
  zwlr_virtual_pointer_v1_motion_absolute(
      objects_->device, time_++, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y),
      static_cast<std::uint32_t>(width_), static_cast<std::uint32_t>(height_));
  done();
}

void VirtualPointer::button(bool down, unsigned code) {
  zwlr_virtual_pointer_v1_button(
      objects_->device, time_++, code,
      down ? WL_POINTER_BUTTON_STATE_PRESSED : WL_POINTER_BUTTON_STATE_RELEASED);
  done();
}

void VirtualPointer::wheel(int clicks) {
  zwlr_virtual_pointer_v1_axis_source(objects_->device, WL_POINTER_AXIS_SOURCE_WHEEL);
  zwlr_virtual_pointer_v1_axis_discrete(objects_->device, time_++, WL_POINTER_AXIS_VERTICAL_SCROLL,
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
