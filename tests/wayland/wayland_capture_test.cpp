// The Screens and ScreenCapture ports against a headless sway with two outputs of different
// scales: the layout as the compositor announces it, and pictures equal to grim's.
#include <gtest/gtest.h>
#include <unistd.h>

#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_screen_capture.h"
#include "platform/wayland/wayland_screens.h"
#include "rgba_png.h"
#include "sway_rig.h"
#include "test_pattern_png.h"

namespace orvel::waylandtest {
namespace {

using namespace std::chrono_literals;

SwayOptions mixedScales() {
  SwayOptions o;
  o.outputs = {{800, 600, 0, 0, 1, "#204060"}, {1280, 720, 800, 0, 2, "#602040"}};
  return o;
}

// Picture of an output through the port.
Image portPicture(wayland::WaylandScreenCapture& capture, const platform::ScreenInfo& screen) {
  platform::CaptureConfiguration config;
  config.width = static_cast<int>(screen.frame.width * screen.backingScale);
  config.height = static_cast<int>(screen.frame.height * screen.backingScale);
  auto picture = capture.captureImage({*screen.displayID, {}, {}}, config);
  return picture ? std::move(picture).value() : Image();
}

TEST(WaylandCaptureTest, LayoutScalesAndPicturesMatchGrim) {
  START_SWAY(rig, mixedScales());
  const auto& names = rig->outputNames();
  ASSERT_EQ(names.size(), 2u);
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string file = rig->writeFile("bg" + std::to_string(i) + ".png",
                                            patternPng(640, 400, static_cast<int>(i)));
    ASSERT_TRUE(rig->setBackground(names[i], file));
  }
  auto connection = wayland::WaylandConnection::open(rig->waylandDisplay().c_str());
  ASSERT_TRUE(connection);
  wayland::WaylandScreens screens(*connection);
  const auto list = screens.screens();
  ASSERT_EQ(list.size(), 2u);
  // The main output first; screen frames have their origin at its bottom-left corner, y up.
  EXPECT_EQ(list[0].frame, (Rect{0, 0, 800, 600}));
  EXPECT_EQ(list[0].backingScale, 1);
  EXPECT_EQ(list[1].frame, (Rect{800, 600 - 360, 640, 360}));
  EXPECT_EQ(list[1].backingScale, 2);
  EXPECT_EQ(screens.displayBounds(*list[1].displayID), (Rect{800, 0, 640, 360}));
  EXPECT_FALSE(screens.displayBounds(12345));

  wayland::WaylandScreenCapture capture(rig->waylandDisplay().c_str());
  ASSERT_TRUE(capture.available());
  auto content = capture.shareableContent(false, false);
  ASSERT_TRUE(content);
  ASSERT_EQ(content->displays.size(), 2u);
  EXPECT_EQ(content->displays[1].frame, (Rect{800, 0, 640, 360}));

  // The backgrounds appear in steps: the port's picture must come to equal grim's, taken just
  // after it.
  const std::string truthFile = "/tmp/orvel-grim-" + std::to_string(::getpid()) + ".png";
  for (std::size_t i = 0; i < names.size(); ++i) {
    int difference = 256;
    waitUntil([&] {
      const RgbaPicture mine = rgbaOf(portPicture(capture, list[i]));
      if (rig->run({"grim", "-o", names[i], truthFile}) != 0) return false;
      auto truth = readRgbaPng(truthFile);
      if (!truth || truth->width != mine.width || truth->height != mine.height) return false;
      difference = largestDifference(mine, 0, 0, *truth, 0, 0, truth->width, truth->height);
      return difference == 0;
    });
    EXPECT_EQ(difference, 0) << names[i];
  }
  std::remove(truthFile.c_str());
  EXPECT_EQ(capture.captureImage({999, {}, {}}, {std::nullopt, 10, 10}).error().description,
            "The display is not available.");
}

TEST(WaylandCaptureTest, AFractionalScaleShowsAsSuch) {
  SwayOptions options;
  options.outputs = {{1920, 1080, 0, 0, 1.5, "#405060"}};
  START_SWAY(rig, options);
  auto connection = wayland::WaylandConnection::open(rig->waylandDisplay().c_str());
  ASSERT_TRUE(connection);
  wayland::WaylandScreens screens(*connection);
  const auto list = screens.screens();
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].frame, (Rect{0, 0, 1280, 720}));
  EXPECT_EQ(list[0].backingScale, 1.5);
  wayland::WaylandScreenCapture capture(rig->waylandDisplay().c_str());
  const Image picture = portPicture(capture, list[0]);
  EXPECT_EQ(picture.width(), 1920);
  EXPECT_EQ(picture.height(), 1080);
}

TEST(WaylandCaptureTest, LostCompositorFailsAtOnce) {
  START_SWAY(rig, SwayOptions{});
  wayland::WaylandScreenCapture capture(rig->waylandDisplay().c_str());
  ASSERT_TRUE(capture.available());
  rig->killCompositor();
  const auto started = std::chrono::steady_clock::now();
  auto picture = capture.captureImage({1, {}, {}}, {std::nullopt, 10, 10});
  ASSERT_FALSE(picture);
  EXPECT_EQ(picture.error().description, "The compositor is not reachable.");
  EXPECT_FALSE(capture.shareableContent(false, false));
  EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
}

}  // namespace
}  // namespace orvel::waylandtest
