// Region frames through screencopy on headless sway, against grim's pictures of the same region.
#include "platform/wayland/region_frame_capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "rgba_png.h"
#include "sway_rig.h"

namespace orvel::waylandtest {
namespace {

TEST(WaylandRegionFrames, RegionsInTheOutputsPixelsMatchGrim) {
  SwayOptions options;
  options.outputs = {{800, 600, 0, 0, 1, "#204060"}, {1280, 720, 800, 0, 2, "#602040"}};
  START_SWAY(rig, options);
  ASSERT_TRUE(rig->showPatterns());
  auto connection = wayland::WaylandConnection::open(rig->waylandDisplay().c_str());
  ASSERT_TRUE(connection);
  ASSERT_TRUE(connection->roundtrip());
  const auto layout = connection->layout();
  ASSERT_EQ(layout.outputs().size(), 2u);
  wayland::RegionFrameCapture frames(*connection);

  struct Case {
    std::size_t output;
    Rect region;       // relative to the output, points
    std::string grim;  // the same region in the layout
  };
  const Case cases[] = {{0, {100, 50, 300, 200}, "100,50 300x200"},
                        {1, {40, 30, 200, 100}, "840,30 200x100"}};
  const std::string truthFile = "/tmp/orvel-grim-region-" + std::to_string(::getpid()) + ".png";
  for (const auto& c : cases) {
    const auto& o = layout.outputs()[c.output];
    const double scale = wayland::OutputLayout::scaleOf(o);
    int difference = 256;
    // The backgrounds appear in steps: the frame must come to equal grim's, taken just after it.
    waitUntil([&] {
      auto frame = frames.capture(o.id, c.region);
      if (!frame || frame->width() != int(c.region.width * scale) ||
          frame->height() != int(c.region.height * scale))
        return false;
      if (rig->run({"grim", "-g", c.grim, truthFile}) != 0) return false;
      const auto truth = readRgbaPng(truthFile);
      const RgbaPicture mine = rgbaOf(*frame);
      if (!truth || truth->width != mine.width || truth->height != mine.height) return false;
      difference = largestDifference(mine, 0, 0, *truth, 0, 0, truth->width, truth->height);
      return difference == 0;
    });
    EXPECT_EQ(difference, 0) << c.grim;
  }
  std::remove(truthFile.c_str());

  // One buffer per frame size: repeated frames of a region reuse theirs.
  const auto made = frames.buffersMade();
  const auto& first = layout.outputs()[0];
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(frames.capture(first.id, {0, 0, 64, 32}));
  EXPECT_EQ(frames.buffersMade(), made + 1);
  EXPECT_EQ(frames.capture(first.id, {700, 500, 200, 200}).error().description,
            "The region is not inside the display.");
  EXPECT_EQ(frames.capture(first.id, {10, 10, 0, 5}).error().description,
            "The region is not inside the display.");
  EXPECT_EQ(frames.capture(12345, {0, 0, 10, 10}).error().description,
            "The display is not available.");
}

}  // namespace
}  // namespace orvel::waylandtest
