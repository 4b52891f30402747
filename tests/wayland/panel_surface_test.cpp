// An overlay panel's buffers on outputs as the compositors announce them: whole scales draw at
// that scale, fractional ones through a viewport (or at one pixel a point without one), and
// mutter's physical layout mode, whose points are pixels, at the output's scale with surface units
// of that many points.
#include <gtest/gtest.h>

#include "platform/wayland/panel_surface.h"

namespace orvel::wayland {
namespace {

OutputGeometry output(double logicalWidth, double logicalHeight, int pixelWidth, int pixelHeight) {
  return {1, "out", Rect{0, 0, logicalWidth, logicalHeight}, pixelWidth, pixelHeight};
}

TEST(PanelSurface, FollowsTheScaleOfTheOutputsPointsToItsPixels) {
  // Scale 1 and 2 on sway or KWin (logical sizes), and a wl_output scale of 1 with them.
  EXPECT_EQ(panelSurface(output(1280, 800, 1280, 800), 1, true),
            (PanelSurface{1280, 800, 1, false, 1}));
  EXPECT_EQ(panelSurface(output(1024, 640, 2048, 1280), 2, true),
            (PanelSurface{2048, 1280, 2, false, 1}));
  // Fractional (wl_output rounds it up): the mode's pixels, sized by a viewport...
  EXPECT_EQ(panelSurface(output(1024, 640, 1280, 800), 2, true),
            (PanelSurface{1280, 800, 1, true, 1}));
  // ...or, without one, a pixel a point, which the compositor scales.
  EXPECT_EQ(panelSurface(output(1024, 640, 1280, 800), 2, false),
            (PanelSurface{1024, 640, 1, false, 1}));
  // mutter's physical layout mode: the mode's size as the logical one, wl_output at 2.
  EXPECT_EQ(panelSurface(output(2048, 1280, 2048, 1280), 2, true),
            (PanelSurface{2048, 1280, 2, false, 2}));
}

}  // namespace
}  // namespace orvel::wayland
