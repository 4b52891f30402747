// Frozen pictures of every monitor through mutter's ScreenCast and PipeWire, on a headless shell.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "gnome_desk_test.h"
#include "gnome_hand.h"
#include "gnome_rig.h"
#include "loop_runner.h"
#include "platform/gnome/gnome_screen_capture.h"
#include "platform/gnome/monitor_pictures.h"
#include "platform/gnome/screen_cast_session.h"
#include "sway_rig.h"

namespace orvel::gnome {
namespace {

using namespace std::chrono_literals;
using gnometest::GnomeOptions;
using gnometest::GnomeRig;

TEST(GnomeScreenCastTest, EveryMonitorGivesOnePictureOfItsSizeAndTheSessionEnds) {
  START_GNOME(rig, GnomeOptions{});
  rig->enter();
  SteadyClock clock;
  EventLoop loop(clock);
  auto bus = dbus::DbusConnection::openSession(loop);
  ASSERT_TRUE(bus) << bus.error().description;
  auto pipewire = PipeWireConnection::open(loop);
  ASSERT_TRUE(pipewire) << pipewire.error().description;

  auto pictures = dbustest::runTask<Expected<std::vector<MonitorPicture>, Failure>>(
      loop, [&] { return takeMonitorPictures(**bus, **pipewire, 30s); }, 40s);
  ASSERT_TRUE(pictures && *pictures) << (pictures ? pictures->error().description : "no answer");
  ASSERT_EQ((*pictures)->size(), 2u);
  std::set<std::pair<int, int>> places;
  for (const MonitorPicture& p : **pictures) {
    places.insert({p.monitor.x, p.monitor.y});
    EXPECT_EQ(p.monitor.scale, 1.0);
    EXPECT_EQ(p.monitor.layoutWidth, p.monitor.widthPx);
    EXPECT_EQ(p.picture.width(), p.monitor.widthPx);
    EXPECT_EQ(p.picture.height(), p.monitor.heightPx);
    // The shell's own picture: opaque, and not one flat colour (the top bar's text at least).
    std::set<std::uint32_t> colours;
    bool opaque = true;
    for (int y = 0; y < p.picture.height(); y += 3) {
      const std::uint8_t* row = p.picture.data() + y * p.picture.stride();
      for (int x = 0; x < p.picture.width(); x += 3) {
        opaque = opaque && row[x * 4 + 3] == 255;
        std::uint32_t c;
        std::memcpy(&c, row + x * 4, 4);
        colours.insert(c);
      }
    }
    EXPECT_TRUE(opaque);
    EXPECT_GT(colours.size(), 1u) << "monitor " << p.monitor.connector << " is one flat colour";
  }
  EXPECT_EQ(places, (std::set<std::pair<int, int>>{{0, 0}, {1280, 0}}));
  EXPECT_EQ((**pictures)[0].picture.width() + (**pictures)[1].picture.width(), 1280 + 1024);

  // The sharing ends with the pictures taken, while the helper stays on the bus.
  EXPECT_TRUE(waylandtest::waitUntil(
      [&] { return gnometest::liveSessions(loop, **bus, gnometest::kScreenCastSessions) == 0; },
      15s));

  // A monitor the shell does not have: the shell's refusal comes back as the failure.
  auto session = dbustest::runTask<Expected<std::unique_ptr<ScreenCastSession>, Failure>>(
      loop, [&] { return ScreenCastSession::create(**bus, 10s); });
  ASSERT_TRUE(session && *session) << (session ? session->error().description : "no answer");
  auto nodes = dbustest::runTask<Expected<std::vector<std::uint32_t>, Failure>>(
      loop, [&] { return (**session)->recordMonitors({"Orvel-9"}, 10s); });
  ASSERT_TRUE(nodes);
  ASSERT_FALSE(*nodes);
  EXPECT_EQ(nodes->error().description, "org.freedesktop.DBus.Error.Failed: Unknown monitor");
}

// The region helper's pictures: a capture session's hold ("prepare") starts recording every
// monitor, the capture takes the pictures from that recording and ends it; a hold that goes
// without a capture ends its recording too, and a newer hold keeps the one it finds.
using GnomeScreenCaptureTest = gnometest::GnomeDeskTest;

TEST_F(GnomeScreenCaptureTest, AHoldRecordsAheadAndTheRecordingEndsWithItsPicturesOrItsHold) {
  ASSERT_NO_FATAL_FAILURE(startShell());
  if (!rig_) return;
  auto casts = [&] {
    return gnometest::liveSessions(*loop_, *bus_, gnometest::kScreenCastSessions);
  };
  using waylandtest::waitUntil;

  GnomeScreenCapture capture;
  ASSERT_EQ(capture.whyNotAvailable(), std::nullopt);
  auto content = capture.shareableContent(false, false);
  ASSERT_TRUE(content) << content.error().description;
  ASSERT_EQ(content->displays.size(), 2u);
  auto takeAll = [&] {
    for (const auto& d : content->displays) {
      platform::CaptureConfiguration config;
      config.width = static_cast<int>(d.frame.width);
      config.height = static_cast<int>(d.frame.height);
      auto picture = capture.captureImage({d.displayID, {}, {}}, config);
      EXPECT_TRUE(picture) << picture.error().description;
      if (picture) {
        EXPECT_EQ(picture->width(), config.width);
      }
    }
  };

  auto hold = capture.holdExclusions();
  EXPECT_TRUE(waitUntil([&] { return capture.prepared() && casts() == 1; }, 15s));
  takeAll();
  EXPECT_FALSE(capture.prepared());
  EXPECT_TRUE(waitUntil([&] { return casts() == 0; }, 15s));
  hold.reset();

  hold = capture.holdExclusions();
  EXPECT_TRUE(waitUntil([&] { return capture.prepared() && casts() == 1; }, 15s));
  hold.reset();
  EXPECT_TRUE(waitUntil([&] { return !capture.prepared() && casts() == 0; }, 15s));

  // A new "prepare" takes its hold before the capture it replaces lets go of the earlier one.
  auto earlier = capture.holdExclusions();
  auto later = capture.holdExclusions();
  earlier.reset();
  EXPECT_TRUE(waitUntil([&] { return capture.prepared() && casts() == 1; }, 15s));
  takeAll();
  EXPECT_TRUE(waitUntil([&] { return casts() == 0; }, 15s));
}

}  // namespace
}  // namespace orvel::gnome
