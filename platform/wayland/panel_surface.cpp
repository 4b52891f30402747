#include "platform/wayland/panel_surface.h"

#include <cmath>

namespace orvel::wayland {

PanelSurface panelSurface(const OutputGeometry& output, int outputScale, bool viewporter) {
  const double scale = OutputLayout::scaleOf(output);
  const int width = static_cast<int>(std::lround(output.logical.width));
  const int height = static_cast<int>(std::lround(output.logical.height));
  PanelSurface s;
  if (outputScale > 1 && std::abs(scale - 1) < 1e-6) {
    // mutter's physical layout mode: its layout counts pixels (so do the points here), yet it
    // scales every surface by the output's scale. A buffer of that scale shows pixel for pixel,
    // and each surface unit spans that many points.
    s.bufferScale = s.surfaceUnit = outputScale;
    s.pixelWidth = output.pixelWidth;
    s.pixelHeight = output.pixelHeight;
  } else if (std::abs(scale - std::round(scale)) < 1e-6) {
    s.bufferScale = static_cast<int>(std::round(scale));
    s.pixelWidth = width * s.bufferScale;
    s.pixelHeight = height * s.bufferScale;
  } else if (viewporter) {
    s.viewported = true;
    s.pixelWidth = output.pixelWidth;
    s.pixelHeight = output.pixelHeight;
  } else {
    s.pixelWidth = width;
    s.pixelHeight = height;
  }
  return s;
}

}  // namespace orvel::wayland
