// The Screens and ScreenCapture ports against a headless sway with two outputs of different
// scales: the layout as the compositor announces it, and pictures equal to grim's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <utility>
#include <vector>

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

// The Screens port on a connection of its own to the rig's compositor.
struct ScreensPort {
  explicit ScreensPort(SwayRig& rig)
      : connection(wayland::WaylandConnection::open(rig.waylandDisplay().c_str())) {
    if (connection) screens = std::make_unique<wayland::WaylandScreens>(*connection);
  }
  // What it lists; nothing without a connection.
  std::vector<platform::ScreenInfo> list() {
    return screens ? screens->screens() : std::vector<platform::ScreenInfo>();
  }
  std::unique_ptr<wayland::WaylandConnection> connection;
  std::unique_ptr<wayland::WaylandScreens> screens;
};

// The frame and scale of each screen listed.
using Placements = std::vector<std::pair<Rect, double>>;
Placements placements(const std::vector<platform::ScreenInfo>& list) {
  Placements out;
  for (const auto& s : list)
    out.emplace_back(s.frame, s.backingScale);
  return out;
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
  ScreensPort port(*rig);
  const auto list = port.list();
  // The main output first; screen frames have their origin at its bottom-left corner, y up.
  ASSERT_EQ(placements(list), (Placements{{{0, 0, 800, 600}, 1}, {{800, 600 - 360, 640, 360}, 2}}));
  EXPECT_EQ(port.screens->displayBounds(*list[1].displayID), (Rect{800, 0, 640, 360}));
  EXPECT_FALSE(port.screens->displayBounds(12345));

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
  ScreensPort port(*rig);
  const auto list = port.list();
  ASSERT_EQ(placements(list), (Placements{{{0, 0, 1280, 720}, 1.5}}));
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
