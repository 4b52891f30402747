// The part of a display a region is read from and the frame fitted to the asked size.
#include "platform/wayland/region_frame_fit.h"

#include <gtest/gtest.h>

namespace orvel::wayland {
namespace {

// A picture whose every pixel tells its place: blue x, green y, opaque.
Image numbered(int width, int height) {
  Image image(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      std::uint8_t* p = image.row(y) + x * 4;
      p[0] = static_cast<std::uint8_t>(x), p[1] = static_cast<std::uint8_t>(y), p[2] = 7,
      p[3] = 255;
    }
  return image;
}

platform::CaptureConfiguration asking(int width, int height) {
  platform::CaptureConfiguration config;
  config.width = width;
  config.height = height;
  return config;
}

TEST(RegionFrameFit, PartsRoundOutwardsAndKeepInsideTheDisplay) {
  const Size display{1280, 800};
  EXPECT_EQ(regionPart(display, std::nullopt)->area, (Rect{0, 0, 1280, 800}));
  const auto part = regionPart(display, Rect{10.5, 20.25, 100, 50});
  ASSERT_TRUE(part);
  EXPECT_EQ(part->wanted, (Rect{10, 20, 101, 51}));
  EXPECT_EQ(part->area, part->wanted);
  // Reaching past the right edge: the part inside only; wholly outside: nothing to read.
  EXPECT_EQ(regionPart(display, Rect{1200, 0, 200, 10})->area, (Rect{1200, 0, 80, 10}));
  EXPECT_TRUE(regionPart(display, Rect{2000, 0, 10, 10})->area.isEmpty());
  EXPECT_FALSE(regionPart(display, Rect{5, 5, 0, 10}));
}

TEST(RegionFrameFit, FramesArePlacedAtTheAskedSizeOrShowAChangedScale) {
  // The whole region at its size: the frame as it is.
  const RegionPart whole{{0, 0, 40, 30}, {0, 0, 40, 30}};
  Image same = fittedFrame(numbered(40, 30), whole, 1, asking(40, 30));
  EXPECT_EQ(same.bytes().size(), numbered(40, 30).bytes().size());
  EXPECT_TRUE(
      std::equal(same.bytes().begin(), same.bytes().end(), numbered(40, 30).bytes().begin()));

  // The region reaches 10 points past the display's left edge at scale 2: the frame lies 20
  // pixels in, the rest transparent.
  const RegionPart cut{{-10, 0, 40, 30}, {0, 0, 30, 30}};
  Image placed = fittedFrame(numbered(60, 60), cut, 2, asking(80, 60));
  ASSERT_EQ(placed.width(), 80);
  ASSERT_EQ(placed.height(), 60);
  EXPECT_EQ(placed.row(5)[19 * 4 + 3], 0);
  EXPECT_EQ(placed.row(5)[20 * 4 + 0], 0);  // the frame's column 0
  EXPECT_EQ(placed.row(5)[20 * 4 + 1], 5);
  EXPECT_EQ(placed.row(5)[20 * 4 + 3], 255);

  // One pixel of rounding is cut; a scale that changed shows as the new size.
  EXPECT_EQ(fittedFrame(numbered(41, 30), whole, 1, asking(40, 30)).width(), 40);
  Image rescaled = fittedFrame(numbered(80, 60), whole, 2, asking(40, 30));
  EXPECT_EQ(rescaled.width(), 80);
  EXPECT_EQ(rescaled.height(), 60);
}

}  // namespace
}  // namespace orvel::wayland
