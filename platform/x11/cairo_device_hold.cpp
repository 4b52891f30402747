#include "platform/x11/cairo_device_hold.h"

namespace orvel::x11 {

CairoDeviceHold::~CairoDeviceHold() {
  if (!device_) return;
  cairo_device_finish(device_);
  cairo_device_destroy(device_);
}

void CairoDeviceHold::hold(cairo_surface_t* surface) {
  if (device_ || !surface) return;
  if (cairo_device_t* device = cairo_surface_get_device(surface))
    device_ = cairo_device_reference(device);
}

}  // namespace orvel::x11
