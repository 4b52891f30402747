// Pure logic of the Wayland backend: the output layout and the picture formats compositors send.
#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

#include "platform/wayland/outline_strips.h"
#include "platform/wayland/output_layout.h"
#include "platform/wayland/picture_scaling.h"
#include "platform/wayland/pixel_rows.h"

namespace orvel::wayland {
namespace {

TEST(PixelRowsTest, FormatsAndRowOrder) {
  // Two rows of one pixel: bytes as they lie in memory.
  const std::uint8_t data[] = {1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 0, 0, 0, 0};
  using Pixel = std::vector<std::uint8_t>;
  // Row `row`'s pixel after converting the picture from `format`, turned upside down when
  // `flipped`; empty when the conversion is refused.
  const auto pixel = [&data](std::uint32_t format, bool flipped, int row) -> Pixel {
    Image out(1, 2);
    if (!convertShmPicture(data, 1, 2, 8, format, flipped, out)) return {};
    return Pixel(out.row(row), out.row(row) + 4);
  };
  EXPECT_EQ(pixel(WL_SHM_FORMAT_XRGB8888, false, 0), (Pixel{1, 2, 3, 255}));
  EXPECT_EQ(pixel(WL_SHM_FORMAT_ARGB8888, true, 0), (Pixel{5, 6, 7, 8}));
  EXPECT_EQ(pixel(WL_SHM_FORMAT_XBGR8888, false, 1), (Pixel{7, 6, 5, 255}));
  EXPECT_EQ(pixel(WL_SHM_FORMAT_ABGR8888, false, 0), (Pixel{3, 2, 1, 4}));
  // Formats the backend cannot read, strides too short and wrong sizes are refused.
  Image out(1, 2);
  EXPECT_FALSE(convertShmPicture(data, 1, 2, 8, WL_SHM_FORMAT_RGB565, false, out));
  EXPECT_FALSE(convertShmPicture(data, 1, 2, 3, WL_SHM_FORMAT_XRGB8888, false, out));
  EXPECT_FALSE(convertShmPicture(data, 2, 1, 8, WL_SHM_FORMAT_XRGB8888, false, out));
}

TEST(PictureScalingTest, CropsAndScalesAPart) {
  Image picture(4, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x)
      std::fill_n(picture.row(y) + x * 4, 4, static_cast<std::uint8_t>(10 * x + 100 * y));
  }
  const Image part = scaledPart(picture, {2, 0, 2, 2}, 2, 2);
  ASSERT_EQ(part.width(), 2);
  EXPECT_EQ(part.row(0)[0], 20);
  EXPECT_EQ(part.row(1)[4], 130);
  // Halved: the size asked for, whatever the source's.
  const Image halved = scaledPart(picture, {0, 0, 4, 2}, 2, 1);
  EXPECT_EQ(halved.width(), 2);
  EXPECT_EQ(halved.height(), 1);
  EXPECT_TRUE(scaledPart(Image(), {0, 0, 1, 1}, 3, 3).row(2)[11] == 0);
}

TEST(OutlineStripsTest, EdgesInBufferPixelsClippedAndRestoredFromTheStill) {
  // A 10x10-point view at scale 2: a stroke of width 2 around (2,2)-(6,5) in view coordinates
  // (y up) lies at pixels x 4..12, y 10..16 (y down), widened by 4 on each side.
  const auto strips = outlineStrips({2, 2, 4, 3}, 2, 10, 2, 20, 20);
  ASSERT_EQ(strips.size(), 4u);
  EXPECT_EQ(strips[0], (PixelBox{0, 6, 16, 8}));   // top
  EXPECT_EQ(strips[1], (PixelBox{0, 12, 16, 8}));  // bottom
  EXPECT_EQ(strips[2], (PixelBox{0, 6, 8, 14}));   // left
  EXPECT_EQ(strips[3], (PixelBox{8, 6, 8, 14}));   // right
  // Wholly outside the buffer: nothing to repaint.
  EXPECT_TRUE(outlineStrips({50, 50, 4, 4}, 2, 10, 2, 20, 20).empty());

  std::vector<std::uint8_t> still(4 * 4 * 4, 7), shown(4 * 4 * 4, 0);
  copyBox(still.data(), shown.data(), 16, {1, 2, 2, 1});
  EXPECT_EQ(shown[(2 * 4 + 1) * 4], 7);
  EXPECT_EQ(shown[(2 * 4 + 2) * 4 + 3], 7);
  EXPECT_EQ(shown[(2 * 4 + 3) * 4], 0);
  EXPECT_EQ(shown[(1 * 4 + 1) * 4], 0);
}

TEST(OutputLayoutTest, MainOutputOriginScalesAndIncompleteOutputs) {
  // The output at 0,0 is the main one even when announced last; one without a mode is left out.
  OutputLayout layout({{7, "B", {-1280, 100, 1280, 720}, 1920, 1080},
                       {8, "C", {0, 0, 100, 100}, 0, 0},
                       {9, "A", {0, 0, 960, 540}, 1920, 1080}});
  ASSERT_EQ(layout.outputs().size(), 2u);
  EXPECT_EQ(layout.outputs()[0].name, "A");
  const auto screens = layout.screens();
  EXPECT_EQ(screens[0].frame, (Rect{0, 0, 960, 540}));
  EXPECT_EQ(screens[0].backingScale, 2);
  EXPECT_EQ(screens[1].frame, (Rect{-1280, 540 - 820, 1280, 720}));
  EXPECT_EQ(screens[1].backingScale, 1.5);
  EXPECT_EQ(layout.displayBounds(7), (Rect{-1280, 100, 1280, 720}));
  EXPECT_FALSE(layout.displayBounds(8));

  // Without an output at 0,0 the first one is the origin of global coordinates.
  OutputLayout shifted({{1, "X", {100, 50, 800, 600}, 800, 600}});
  EXPECT_EQ(shifted.displayBounds(1), (Rect{0, 0, 800, 600}));
  EXPECT_TRUE(OutputLayout().screens().empty());
}

}  // namespace
}  // namespace orvel::wayland
