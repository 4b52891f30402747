// Where RemoteDesktop's absolute motion puts the pointer: global points to mutter's layout, and the
// layout to a monitor's stream pixels, for both of mutter's layout modes.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/gnome/remote_desktop_session.h"

namespace orvel::gnome {
namespace {

GnomeMonitor monitor(const char* connector, int x, int y, int widthPx, int heightPx, double scale,
                     bool logicalLayout) {
  const double units = logicalLayout ? scale : 1;
  return {connector, widthPx, heightPx, x, y, widthPx / units, heightPx / units, scale};
}

TEST(StreamPlace, LayoutPointsGoToTheMonitorShowingThemInItsPixels) {
  // The rig's two monitors side by side, then a logical layout with the right one at scale 2.
  const std::vector<GnomeMonitor> flat = {monitor("Meta-0", 0, 0, 1280, 800, 1, true),
                                          monitor("Meta-1", 1280, 0, 1024, 768, 1, true)};
  EXPECT_EQ(streamPlace(flat, {10, 20}), (StreamPlace{0, 10, 20}));
  EXPECT_EQ(streamPlace(flat, {1279.5, 0}), (StreamPlace{0, 1279.5, 0}));
  EXPECT_EQ(streamPlace(flat, {1280, 767}), (StreamPlace{1, 0, 767}));
  EXPECT_EQ(streamPlace(flat, {1300, 790}), std::nullopt);  // below the smaller monitor
  EXPECT_EQ(streamPlace(flat, {-1, 5}), std::nullopt);
  EXPECT_EQ(streamPlace(flat, {std::nan(""), 5}), std::nullopt);

  const std::vector<GnomeMonitor> scaled = {monitor("Meta-0", 0, 0, 1280, 800, 1, true),
                                            monitor("Meta-1", 1280, 0, 2048, 1536, 2, true)};
  EXPECT_EQ(streamPlace(scaled, {1280 + 100, 50}), (StreamPlace{1, 200, 100}));
  // The physical layout mode: the layout is in the monitor's own pixels whatever its scale.
  const std::vector<GnomeMonitor> physical = {monitor("Meta-0", 0, 0, 2048, 1536, 2, false)};
  EXPECT_EQ(streamPlace(physical, {100, 50}), (StreamPlace{0, 100, 50}));
}

TEST(StreamPlace, GlobalPointsStartAtTheMonitorAtTheLayoutsOrigin) {
  const std::vector<GnomeMonitor> rig = {monitor("Meta-1", 1280, 0, 1024, 768, 1, true),
                                         monitor("Meta-0", 0, 0, 1280, 800, 1, true)};
  EXPECT_EQ(layoutPoint(rig, {10, 20}), (Point{10, 20}));
  // No monitor at the origin: the first one is the main one.
  const std::vector<GnomeMonitor> shifted = {monitor("Meta-0", 100, 50, 800, 600, 1, true)};
  EXPECT_EQ(layoutPoint(shifted, {10, 20}), (Point{110, 70}));
  EXPECT_EQ(layoutPoint({}, {10, 20}), (Point{10, 20}));
}

}  // namespace
}  // namespace orvel::gnome
