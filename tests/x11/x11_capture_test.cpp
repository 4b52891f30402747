// Screen pictures on a real X server: exact pixels, areas off the screen, excluded windows and a
// server of another pixel format.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "platform/x11/x11_screen_capture.h"
#include "platform/x11/x11_screens.h"
#include "test_pattern.h"
#include "xvfb_rig.h"

namespace orvel::x11test {
namespace {

std::uint32_t pixelAt(const Image& image, int x, int y) {
  std::uint32_t v;
  std::memcpy(&v, image.row(y) + x * 4, 4);
  return v;
}

// How many pixels of `image` differ from the window's pattern, the image's top-left pixel being
// pattern pixel (px, py).
int mismatches(const Image& image, int px, int py, int seed) {
  int bad = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x)
      bad += pixelAt(image, x, y) != patternPixel(px + x, py + y, seed);
  }
  return bad;
}

std::uint32_t displayOf(x11::X11Screens& screens) {
  return *screens.screens().at(0).displayID;
}

TEST(X11Capture, PicturesMatchTheWindowByteForByteAndOffScreenPartsStayTransparent) {
  START_RIG(rig, RigOptions{});
  auto w = rig->openWindow({.x = 100, .y = 100, .width = 400, .height = 300, .seed = 3});
  ASSERT_TRUE(w);
  x11::X11Screens screens(rig->connection());
  x11::X11ScreenCapture capture(rig->display().c_str());
  const std::uint32_t display = displayOf(screens);

  platform::CaptureConfiguration config;
  config.sourceRect = Rect{150, 120, 200, 100};
  config.width = 200;
  config.height = 100;
  auto image = capture.captureImage({display, {}, {}}, config);
  ASSERT_TRUE(image) << image.error().description;
  ASSERT_EQ(image->width(), 200);
  ASSERT_EQ(image->height(), 100);
  EXPECT_EQ(mismatches(*image, 50, 20, 3), 0);

  // Past the right edge of the screen (1600 wide): the outside is transparent, the rest exact.
  config.sourceRect = Rect{1500, 0, 200, 50};
  auto edge = capture.captureImage({display, {}, {}}, config);
  ASSERT_TRUE(edge) << edge.error().description;
  EXPECT_EQ(pixelAt(*edge, 150, 10), 0u);
  EXPECT_EQ(pixelAt(*edge, 50, 10) >> 24, 0xffu);

  EXPECT_FALSE(capture.captureImage({display + 999, {}, {}}, config));

  // A configured size other than the grabbed one scales the picture.
  config.sourceRect = Rect{100, 100, 400, 300};
  config.width = 200;
  config.height = 150;
  auto half = capture.captureImage({display, {}, {}}, config);
  ASSERT_TRUE(half);
  EXPECT_EQ(half->width(), 200);
  EXPECT_EQ(half->height(), 150);

  auto content = capture.shareableContent(true, true);
  ASSERT_TRUE(content);
  ASSERT_EQ(content->displays.size(), 1u);
  EXPECT_EQ(content->displays[0].displayID, display);
  bool listed = false;
  for (const auto& win : content->windows)
    listed |= win.windowID == w->window() && win.ownerPID == w->pid();
  EXPECT_TRUE(listed);
}

class X11ExcludedWindows : public ::testing::TestWithParam<bool> {};

TEST_P(X11ExcludedWindows, NeverAppearWhereTheyOverlapTheArea) {
  RigOptions options;
  options.windowManager = GetParam();
  START_RIG(rig, options);
  auto target = rig->openWindow({.x = 100, .y = 100, .width = 500, .height = 400, .seed = 4});
  ASSERT_TRUE(target);
  auto cover = rig->openWindow(
      {.title = "Host", .x = 250, .y = 200, .width = 200, .height = 150, .seed = 9});
  ASSERT_TRUE(cover);
  const auto origin = rig->contentOrigin(target->window());
  ASSERT_TRUE(origin);
  x11::X11Screens screens(rig->connection());
  x11::X11ScreenCapture capture(rig->display().c_str());
  platform::CaptureConfiguration config;
  config.sourceRect = Rect{double(origin->first + 50), double(origin->second + 50), 300, 250};
  config.width = 300;
  config.height = 250;
  const std::uint32_t display = displayOf(screens);

  // Shown as it is, the cover is in the picture.
  auto shown = capture.captureImage({display, {}, {}}, config);
  ASSERT_TRUE(shown);
  EXPECT_GT(mismatches(*shown, 50, 50, 4), 0);
  // Left out by window or by application, the target shows through, exactly: the picture waits
  // until the target has repainted what the cover hid.
  auto byWindow = capture.captureImage({display, {cover->window()}, {}}, config);
  ASSERT_TRUE(byWindow);
  EXPECT_EQ(mismatches(*byWindow, 50, 50, 4), 0);
  auto byApp = capture.captureImage({display, {}, {cover->pid()}}, config);
  ASSERT_TRUE(byApp);
  EXPECT_EQ(mismatches(*byApp, 50, 50, 4), 0);
}

TEST(X11Capture, WindowsAreKeptApartOnlyWhileHeldAndPicturesWaitForTheirRepaint) {
  START_RIG(rig, RigOptions{});
  // Without a background, what the cover hid keeps the cover's pixels until the target repaints.
  auto target = rig->openWindow(
      {.x = 100, .y = 100, .width = 500, .height = 400, .seed = 4, .noBackground = true});
  ASSERT_TRUE(target);
  auto cover = rig->openWindow({.x = 250, .y = 200, .width = 200, .height = 150, .seed = 9});
  ASSERT_TRUE(cover);
  x11::X11Screens screens(rig->connection());
  // A budget no busy machine reaches: the picture below must wait for the repaint itself.
  x11::X11ScreenCapture capture(rig->display().c_str(), nullptr, std::chrono::minutes(5));
  const std::uint32_t display = displayOf(screens);
  platform::CaptureConfiguration config;
  config.sourceRect = Rect{150, 150, 300, 250};
  config.width = 300;
  config.height = 250;
  const platform::ContentFilter leaveCoverOut{display, {cover->window()}, {}};

  EXPECT_FALSE(rig->redirected(target->window()));
  ASSERT_EQ(target->command("defer"), "ok");
  auto first = capture.holdExclusions();
  EXPECT_TRUE(rig->redirected(target->window()));
  auto second = capture.holdExclusions();
  first.reset();
  EXPECT_TRUE(rig->redirected(target->window()));

  // The target has not drawn what the cover hid yet; the picture waits for it.
  Expected<Image, platform::PlatformError> picture = unexpected(platform::PlatformError{""});
  std::thread taking([&] { picture = capture.captureImage(leaveCoverOut, config); });
  ASSERT_EQ(target->command("repaint"), "ok");
  taking.join();
  ASSERT_TRUE(picture) << picture.error().description;
  EXPECT_EQ(mismatches(*picture, 50, 50, 4), 0);

  second.reset();
  EXPECT_TRUE(waitUntil([&] { return !rig->redirected(target->window()); }));

  // A client that does not repaint in time: its unpainted part is black, never the cover.
  ASSERT_EQ(target->command("defer"), "ok");
  x11::X11ScreenCapture impatient(rig->display().c_str(), nullptr, std::chrono::milliseconds(0));
  auto late = impatient.captureImage(leaveCoverOut, config);
  ASSERT_TRUE(late);
  int black = 0, wrong = 0;
  for (int y = 0; y < 250; ++y) {
    for (int x = 0; x < 300; ++x) {
      const bool underCover = x >= 100 && x < 300 && y >= 50 && y < 200;
      const std::uint32_t got = pixelAt(*late, x, y);
      if (underCover && got == 0xff000000u)
        ++black;
      else
        wrong += got != patternPixel(50 + x, 50 + y, 4);
    }
  }
  EXPECT_EQ(black, 200 * 150);
  EXPECT_EQ(wrong, 0);
  ASSERT_EQ(target->command("repaint"), "ok");
  EXPECT_TRUE(waitUntil([&] { return !rig->redirected(target->window()); }));
  // Without a hold, one picture redirects the windows for itself alone.
  auto alone = capture.captureImage(leaveCoverOut, config);
  ASSERT_TRUE(alone);
  EXPECT_EQ(mismatches(*alone, 50, 50, 4), 0);
  EXPECT_TRUE(waitUntil([&] { return !rig->redirected(target->window()); }));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutWindowManager, X11ExcludedWindows, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "openbox" : "bare"; });

TEST(X11Capture, SixteenBitServersConvertThroughTheirMasks) {
  RigOptions options;
  options.depth = 16;
  START_RIG(rig, options);
  auto w = rig->openWindow({.x = 0, .y = 0, .width = 300, .height = 300, .seed = 5});
  ASSERT_TRUE(w);
  x11::X11Screens screens(rig->connection());
  x11::X11ScreenCapture capture(rig->display().c_str());
  platform::CaptureConfiguration config;
  config.sourceRect = Rect{0, 0, 256, 256};
  config.width = 256;
  config.height = 256;
  auto image = capture.captureImage({displayOf(screens), {}, {}}, config);
  ASSERT_TRUE(image) << image.error().description;
  // The window drew 8-bit channels; the server kept 5, 6 and 5 bits of them.
  auto expand = [](std::uint32_t v, int bits) {
    const std::uint32_t max = (1u << bits) - 1;
    return ((v >> (8 - bits)) * 255 + max / 2) / max;
  };
  int bad = 0;
  for (int y = 0; y < 256; y += 7) {
    for (int x = 0; x < 256; x += 5) {
      const std::uint32_t p = patternPixel(x, y, 5);
      const std::uint32_t want = expand(p & 0xff, 5) | expand((p >> 8) & 0xff, 6) << 8 |
                                 expand((p >> 16) & 0xff, 5) << 16 | 0xff000000u;
      bad += pixelAt(*image, x, y) != want;
    }
  }
  EXPECT_EQ(bad, 0);
}

}  // namespace
}  // namespace orvel::x11test
