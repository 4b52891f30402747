// The scroll helper's frames and wheel on a headless gnome-shell, over a GTK text view: frames of
// a region equal the shell's own picture of it, before and after scrolling; a wheel click and a
// smooth scroll through the port move the view towards the page's end; an unchanged screen gives
// the last frame again; the recording and the RemoteDesktop session end when the ports let go;
// at a fractional scale the frames hold the region's pixels.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "child_process.h"
#include "gnome_desk_test.h"
#include "orvel/stitching/frame_overlap.h"
#include "platform/gnome/gnome_frame_capture.h"
#include "platform/gnome/gnome_screen_capture.h"
#include "platform/gnome/gnome_scroll_events.h"
#include "platform/gnome/monitor_pictures.h"
#include "rig_support.h"

namespace orvel::gnometest {
namespace {

using namespace std::chrono_literals;
using testsupport::waitUntil;

// The region the tests read, in global points on the main monitor: inside the text view, below
// the top bar and the window's title bar, clear of its scrollbar.
constexpr Rect kRegion{100, 200, 600, 400};

// The region's pixels in `picture` (BGRA of the monitor at the layout's origin, `scale` pixels a
// point).
Image crop(const Image& picture, const Rect& region, double scale = 1) {
  const Rect r{region.x * scale, region.y * scale, region.width * scale, region.height * scale};
  Image out(static_cast<int>(r.width), static_cast<int>(r.height));
  for (int y = 0; y < out.height(); ++y)
    std::memcpy(out.row(y), picture.row(static_cast<int>(r.y) + y) + static_cast<int>(r.x) * 4,
                static_cast<std::size_t>(out.width()) * 4);
  return out;
}

// Whether a picture has more than a few colours (text, not an empty view).
bool showsText(const Image& picture) {
  std::set<std::uint32_t> colours;
  for (int y = 0; y < picture.height(); y += 2)
    for (int x = 0; x < picture.width(); x += 2) {
      std::uint32_t c;
      std::memcpy(&c, picture.row(y) + x * 4, 4);
      colours.insert(c);
    }
  return colours.size() > 4;
}

class GnomeScrollPortsTest : public GnomeDeskTest {
 protected:
  void startDesk(const GnomeOptions& options = {}) {
    ASSERT_NO_FATAL_FAILURE(startShell(options));
    if (!rig_) return;
    page_ = startTextPage(*rig_);
    ASSERT_TRUE(page_);
    // The page is up once it shows text and two pictures in a row agree.
    ASSERT_TRUE(settled(30s)) << "the GTK page did not show; " << rig_->shellLog();
  }

  // The shell's own picture of the region; nothing when it fails.
  std::optional<Image> truth() {
    auto pictures = monitorPictures();
    if (!pictures) return std::nullopt;
    for (const gnome::MonitorPicture& p : *pictures)
      if (p.monitor.x == 0 && p.monitor.y == 0)
        return crop(p.picture, kRegion, p.monitor.widthPx / p.monitor.layoutWidth);
    return std::nullopt;
  }

  // Waits until two pictures in a row agree and show text; the last one is `truth_`.
  bool settled(std::chrono::milliseconds limit) {
    return waitUntil(
        [&] {
          auto a = truth();
          truth_ = truth();
          return a && truth_ && samePixels(*a, *truth_) && showsText(*truth_);
        },
        limit);
  }

  // Posts `events` events of `unit` and `delta` at the region's centre until the shell's own
  // picture differs from `before`, three times at most (now and then mutter 43 loses the first
  // events of a new RemoteDesktop session); whether it came to differ.
  bool wheelMoves(gnome::GnomeScrollEvents& wheel, platform::ScrollUnit unit, std::int32_t delta,
                  int events, const Image& before) {
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (!wheel.openSource()) return false;
      auto event = wheel.createScrollWheelEvent(unit, 1, delta, 0, 0);
      wheel.closeSource();
      if (!event) return false;
      event->location = kRegion.center();
      for (int i = 0; i < events; ++i)
        wheel.post(*event);
      if (waitUntil(
              [&] {
                auto now = truth();
                return now && !samePixels(*now, before);
              },
              10s))
        return true;
    }
    return false;
  }

  // The port's display at the layout's origin; nothing when it lists none.
  static std::optional<std::uint32_t> mainDisplay(gnome::GnomeFrameCapture& frames) {
    auto content = frames.shareableContent(true, true);
    EXPECT_TRUE(content) << content.error().description;
    if (!content) return std::nullopt;
    for (const auto& d : content->displays)
      if (d.frame.x == 0 && d.frame.y == 0) return d.displayID;
    return std::nullopt;
  }

  std::size_t casts() { return liveSessions(*loop_, *bus_, kScreenCastSessions); }
  std::size_t remotes() { return liveSessions(*loop_, *bus_, kRemoteDesktopSessions); }

  std::unique_ptr<testsupport::ChildProcess> page_;
  std::optional<Image> truth_;
};

// Rows the view's content moved up (towards the page's end) from `before` to `after`; 0 when it
// did not move that way.
int movedUp(const Image& before, const Image& after) {
  const auto o = stitching::measureOverlap(stitching::rowHashes(before.view()),
                                           stitching::rowHashes(after.view()), 0);
  return o.matched ? o.shift : 0;
}

TEST_F(GnomeScrollPortsTest, FramesShowTheRegionTheWheelMovesItAndSessionsEndWithThePorts) {
  ASSERT_NO_FATAL_FAILURE(startDesk());
  if (!rig_) return;
  ASSERT_TRUE(waitUntil([&] { return casts() == 0; }, 15s));
  const std::size_t remotesBefore = remotes();

  gnome::GnomeFrameCapture frames;
  ASSERT_EQ(frames.whyNotAvailable(), std::nullopt);
  const std::optional<std::uint32_t> main = mainDisplay(frames);
  ASSERT_TRUE(main);
  const platform::ContentFilter filter{*main, {}, {}};
  platform::CaptureConfiguration config;
  config.sourceRect = kRegion;
  config.width = static_cast<int>(kRegion.width);
  config.height = static_cast<int>(kRegion.height);
  auto capture = [&] {
    auto frame = frames.captureImage(filter, config);
    EXPECT_TRUE(frame) << frame.error().description;
    return frame ? std::move(*frame) : Image();
  };

  // The first frame is the region as the shell shows it; with nothing changing the last frame
  // stands.
  const Image first = capture();
  EXPECT_TRUE(samePixels(first, *truth_));
  EXPECT_TRUE(frames.recording());
  EXPECT_TRUE(waitUntil([&] { return casts() == 1; }, 10s));
  EXPECT_TRUE(samePixels(capture(), first));

  gnome::GnomeScrollEvents wheel;
  ASSERT_EQ(wheel.whyNotAvailable(), std::nullopt);
  // Moves the view as wheelMoves does, then waits for a frame that differs; the rows it moved up.
  auto scrolled = [&](platform::ScrollUnit unit, std::int32_t delta, int events,
                      const Image& before) {
    EXPECT_TRUE(wheelMoves(wheel, unit, delta, events, before));
    Image after;
    EXPECT_TRUE(waitUntil(
        [&] {
          after = capture();
          return !after.empty() && !samePixels(after, before);
        },
        10s));
    return movedUp(before, after);
  };

  // As after a selection: the pointer rests in the window below the region.
  wheel.restPointer({kRegion.center().x, kRegion.maxY() + 40});
  EXPECT_TRUE(wheel.sessionOpen());
  // A wheel click towards the end moves the page up.
  EXPECT_GT(scrolled(platform::ScrollUnit::line, -1, 1, first), 0);
  EXPECT_TRUE(wheel.sessionOpen());
  // The frames keep showing what the shell shows once the view has come to rest.
  ASSERT_TRUE(settled(30s));
  EXPECT_TRUE(samePixels(capture(), *truth_));
  // Smooth scrolling moves it on, from its second event (as the scroll helper sends three).
  const Image beforeSmooth = *truth_;
  EXPECT_GT(scrolled(platform::ScrollUnit::pixel, -20, 3, beforeSmooth), 0);

  ASSERT_TRUE(settled(30s));
  EXPECT_TRUE(samePixels(capture(), *truth_));
  EXPECT_TRUE(waitUntil([&] { return casts() == 2; }, 10s));
  {
    // On a still screen mutter records no area until its next repaint: a new recording's first
    // frame is then the monitor's picture of the region.
    gnome::GnomeFrameCapture other;
    auto frame = other.captureImage(filter, config);
    ASSERT_TRUE(frame) << frame.error().description;
    EXPECT_TRUE(samePixels(*frame, *truth_));
    EXPECT_TRUE(waitUntil([&] { return casts() == 3; }, 10s));
  }
  // The port going away ends its recording; letting go ends the recording, then the wheel's
  // session and its linked screen cast.
  EXPECT_TRUE(waitUntil([&] { return casts() == 2; }, 10s));
  frames.release();
  EXPECT_FALSE(frames.recording());
  EXPECT_TRUE(waitUntil([&] { return casts() == 1; }, 10s));
  wheel.release();
  EXPECT_FALSE(wheel.sessionOpen());
  EXPECT_TRUE(waitUntil([&] { return casts() == 0 && remotes() == remotesBefore; }, 10s));

  // A capture opens a new recording; a new selection beginning ends it.
  EXPECT_FALSE(capture().empty());
  EXPECT_TRUE(frames.recording());
  auto hold = frames.holdExclusions();
  EXPECT_FALSE(frames.recording());
  EXPECT_TRUE(waitUntil([&] { return casts() == 0; }, 10s));
}

// With the main monitor at 1.25 in mutter's logical layout (fractional scaling on; 1024x640
// points), the frames of a region given in points hold its pixels (750x500 for 600x400 points).
class GnomeFractionalFramesTest : public GnomeScrollPortsTest {
 protected:
  void SetUp() override {
    GnomeOptions options;
    options.scales = {1.25, 1};
    ASSERT_NO_FATAL_FAILURE(startDesk(options));
    if (!rig_) return;
    // The port reaches the shell that the desk just started.
    frames_ = std::make_unique<gnome::GnomeFrameCapture>();
    main_ = mainDisplay(*frames_);
    ASSERT_TRUE(main_);
    config_.sourceRect = kRegion;
    config_.width = truth_->width();
    config_.height = truth_->height();
    ASSERT_EQ(config_.width, static_cast<int>(kRegion.width * 1.25));
  }

  Image capture() {
    auto frame = frames_->captureImage({*main_, {}, {}}, config_);
    EXPECT_TRUE(frame) << frame.error().description;
    return frame ? std::move(*frame) : Image();
  }

  std::unique_ptr<gnome::GnomeFrameCapture> frames_;
  std::optional<std::uint32_t> main_;
  platform::CaptureConfiguration config_;
};

TEST_F(GnomeFractionalFramesTest, AStillScreensFrameHoldsTheRegionsPixels) {
  if (!rig_) return;
  EXPECT_TRUE(samePixels(capture(), *truth_));
  EXPECT_TRUE(frames_->recording());
}

// The page's scroll animation paints many frames while the test does not look: the stream must
// keep giving mutter its buffers back, or it records nothing after them.
TEST_F(GnomeFractionalFramesTest, AFrameAfterTheWheelShowsThePageMoved) {
  if (!rig_) return;
  EXPECT_TRUE(samePixels(capture(), *truth_));
  gnome::GnomeScrollEvents wheel;
  ASSERT_TRUE(wheelMoves(wheel, platform::ScrollUnit::line, -1, 1, *truth_));
  ASSERT_TRUE(settled(30s));
  EXPECT_TRUE(waitUntil([&] { return samePixels(capture(), *truth_); }, 10s));
}

// A region capture right after a scroll capture, on a still screen: once the last area recording
// has ended, the monitors' pictures still come, and show what the shell shows.
TEST_F(GnomeScrollPortsTest, MonitorPicturesComeRightAfterAnAreaRecordingEndedOnAStillScreen) {
  ASSERT_NO_FATAL_FAILURE(startDesk());
  if (!rig_) return;
  ASSERT_TRUE(waitUntil([&] { return casts() == 0; }, 15s));
  // The scroll helper's port lives on after its target went, as in a helper waiting for the next
  // selection.
  gnome::GnomeFrameCapture frames;
  {
    auto content = frames.shareableContent(true, true);
    ASSERT_TRUE(content) << content.error().description;
    ASSERT_FALSE(content->displays.empty());
    platform::CaptureConfiguration config;
    config.sourceRect = kRegion;
    config.width = static_cast<int>(kRegion.width);
    config.height = static_cast<int>(kRegion.height);
    auto frame = frames.captureImage({content->displays.front().displayID, {}, {}}, config);
    ASSERT_TRUE(frame) << frame.error().description;
    frames.release();
  }
  EXPECT_TRUE(waitUntil([&] { return casts() == 0; }, 10s));

  gnome::GnomeScreenCapture pictures;
  ASSERT_EQ(pictures.whyNotAvailable(), std::nullopt);
  auto content = pictures.shareableContent(false, false);
  ASSERT_TRUE(content) << content.error().description;
  ASSERT_EQ(content->displays.size(), 2u);
  for (const auto& d : content->displays) {
    platform::CaptureConfiguration config;
    config.width = static_cast<int>(d.frame.width);
    config.height = static_cast<int>(d.frame.height);
    // A stalled first frame fails the capture at the port's own deadline.
    auto picture = pictures.captureImage({d.displayID, {}, {}}, config);
    ASSERT_TRUE(picture) << picture.error().description;
    if (d.frame.x == 0 && d.frame.y == 0) {
      EXPECT_TRUE(samePixels(crop(*picture, kRegion), *truth_));
    }
  }
}

}  // namespace
}  // namespace orvel::gnometest
