// Scroll frames through the Wayland frame capture on headless sway: grim's pixels for regions at
// scales 1 and 2, transparency beyond the output's edge, one buffer for repeated frames, and the
// outputs and views it lists.
#include "platform/wayland/wayland_frame_capture.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "rgba_png.h"
#include "sway_rig.h"

namespace orvel::waylandtest {
namespace {

using namespace std::chrono_literals;

TEST(WaylandFrameCapture, FramesOfARegionMatchGrimAndReuseTheirBuffer) {
  SwayOptions options;
  options.outputs = {{800, 600, 0, 0, 1, "#204060"}, {1280, 720, 800, 0, 2, "#602040"}};
  START_SWAY(rig, options);
  ASSERT_TRUE(rig->showPatterns());
  auto windows = wayland::SwayWindowList::open(rig->environment().at("SWAYSOCK").c_str());
  ASSERT_TRUE(windows);
  wayland::WaylandFrameCapture capture(rig->waylandDisplay().c_str(), windows.get());
  ASSERT_TRUE(capture.available());
  const auto content = capture.shareableContent(true, true);
  ASSERT_TRUE(content);
  ASSERT_EQ(content->displays.size(), 2u);
  EXPECT_EQ(content->displays[1].frame, (Rect{800, 0, 640, 360}));
  EXPECT_TRUE(content->windows.empty());

  struct Case {
    std::size_t display;
    Rect source;  // points relative to the display
    int width, height;
    std::string grim;  // the part inside the display, in the layout
    int inside;        // its width in pixels
  };
  const Case cases[] = {
      {0, {100, 50, 300, 200}, 300, 200, "100,50 300x200", 300},
      {1, {40, 30, 200, 100}, 400, 200, "840,30 200x100", 400},
      // Beyond the right edge: transparent there.
      {0, {700, 100, 150, 80}, 150, 80, "700,100 100x80", 100},
  };
  const std::string truthFile = "/tmp/orvel-grim-frame-" + std::to_string(::getpid()) + ".png";
  for (const auto& c : cases) {
    const platform::ContentFilter filter{content->displays[c.display].displayID, {}, {}};
    platform::CaptureConfiguration config;
    config.sourceRect = c.source;
    config.width = c.width;
    config.height = c.height;
    int difference = 256;
    bool transparentBeyond = false;
    // The backgrounds appear in steps: the frame must come to equal grim's, taken just after it.
    waitUntil([&] {
      auto frame = capture.captureImage(filter, config);
      if (!frame || frame->width() != c.width || frame->height() != c.height) return false;
      const int scale = c.display == 1 ? 2 : 1;
      if (rig->run({"grim", "-s", std::to_string(scale), "-g", c.grim, truthFile}) != 0)
        return false;
      const auto truth = readRgbaPng(truthFile);
      if (!truth || truth->width != c.inside) return false;
      difference = largestDifference(rgbaOf(*frame, c.inside), 0, 0, *truth, 0, 0, truth->width,
                                     truth->height);
      transparentBeyond = true;
      for (int y = 0; y < frame->height(); ++y)
        for (int x = c.inside; x < frame->width(); ++x)
          transparentBeyond = transparentBeyond && frame->row(y)[x * 4 + 3] == 0;
      return difference == 0;
    });
    EXPECT_EQ(difference, 0) << c.grim;
    EXPECT_TRUE(transparentBeyond) << c.grim;
  }
  std::remove(truthFile.c_str());

  const platform::ContentFilter first{content->displays[0].displayID, {}, {}};
  platform::CaptureConfiguration small;
  small.sourceRect = Rect{0, 0, 64, 32};
  small.width = 64;
  small.height = 32;
  const auto made = capture.buffersMade();
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(capture.captureImage(first, small));
  EXPECT_EQ(capture.buffersMade(), made + 1);
  // Wholly outside: a transparent frame of the configured size.
  small.sourceRect = Rect{900, 0, 64, 32};
  const auto outside = capture.captureImage(first, small);
  ASSERT_TRUE(outside);
  EXPECT_EQ(outside->width(), 64);
  EXPECT_EQ(outside->row(5)[3], 0);
  EXPECT_EQ(capture.captureImage({4242, {}, {}}, small).error().description,
            "The display is not available.");
  small.width = 0;
  EXPECT_EQ(capture.captureImage(first, small).error().description, "Invalid capture size.");

  // A view appears in the list with its owner.
  ChildProcess::Options o;
  o.environment = rig->environment();
  auto foot = ChildProcess::start({"foot", "--log-level=error", "-e", "sleep", "60"}, o);
  ASSERT_TRUE(foot);
  std::optional<platform::ShareableWindow> listed;
  waitUntil(
      [&] {
        auto now = capture.shareableContent(true, true);
        if (now && !now->windows.empty()) listed = now->windows.front();
        return listed.has_value();
      },
      20s);
  ASSERT_TRUE(listed);
  EXPECT_EQ(listed->ownerPID, foot->pid());
  EXPECT_GT(listed->frame.width, 100);
}

}  // namespace
}  // namespace orvel::waylandtest
