// How an overlay panel's surface covers its output: the size and scale of its buffers, whether a
// viewport sizes it, and how many points one of its surface units spans. Pure logic.
#pragma once

#include "platform/wayland/output_layout.h"

namespace orvel::wayland {

struct PanelSurface {
  int pixelWidth = 0, pixelHeight = 0;
  int bufferScale = 1;
  bool viewported = false;  // a wp_viewport gives the surface its size in points
  int surfaceUnit = 1;      // points per surface unit
  friend bool operator==(const PanelSurface&, const PanelSurface&) = default;
};

// For `output` (its layout in points, its mode in pixels) whose wl_output announces
// `outputScale`; `viewporter`: whether the compositor offers wp_viewporter.
PanelSurface panelSurface(const OutputGeometry& output, int outputScale, bool viewporter);

}  // namespace orvel::wayland
