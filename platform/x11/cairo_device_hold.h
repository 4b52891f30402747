// cairo keeps what it learns of an X connection (picture formats, glyph caches, shared memory) in
// a device that it finds again by the xcb_connection_t's address. A connection opened later at the
// same address would inherit that state stale, and draw nothing it uploads: the overlays finish
// the device when they go, before their connection closes. Loop thread only.
#pragma once

#include <cairo.h>

namespace orvel::x11 {

class CairoDeviceHold {
 public:
  CairoDeviceHold() = default;
  ~CairoDeviceHold();
  CairoDeviceHold(const CairoDeviceHold&) = delete;
  CairoDeviceHold& operator=(const CairoDeviceHold&) = delete;

  // Holds the device of `surface`, a surface on the overlay's connection (once is enough).
  void hold(cairo_surface_t* surface);

 private:
  cairo_device_t* device_ = nullptr;
};

}  // namespace orvel::x11
