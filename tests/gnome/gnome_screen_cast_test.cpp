// Frozen pictures of every monitor through mutter's ScreenCast and PipeWire, on a headless shell.
#include <gtest/gtest.h>

#include <cstring>
#include <set>

#include "gnome_rig.h"
#include "loop_runner.h"
#include "platform/gnome/display_config.h"
#include "platform/gnome/pipewire_frame_stream.h"
#include "platform/gnome/screen_cast_session.h"

namespace orvel::gnome {
namespace {

using namespace std::chrono_literals;
using gnometest::GnomeOptions;
using gnometest::GnomeRig;

TEST(GnomeScreenCastTest, EveryMonitorGivesOnePictureOfItsSize) {
  START_GNOME(rig, GnomeOptions{});
  rig->enter();
  SteadyClock clock;
  EventLoop loop(clock);
  auto bus = dbus::DbusConnection::openSession(loop);
  ASSERT_TRUE(bus) << bus.error().description;

  auto monitors = dbustest::runTask<Expected<std::vector<GnomeMonitor>, Failure>>(
      loop, [&] { return currentMonitors(**bus, 10s); });
  ASSERT_TRUE(monitors && *monitors) << (monitors ? monitors->error().description : "no answer");
  ASSERT_EQ((*monitors)->size(), 2u);
  const GnomeMonitor& left = (**monitors)[0].x == 0 ? (**monitors)[0] : (**monitors)[1];
  const GnomeMonitor& right = &left == &(**monitors)[0] ? (**monitors)[1] : (**monitors)[0];
  EXPECT_EQ(std::make_pair(left.widthPx, left.heightPx), std::make_pair(1280, 800));
  EXPECT_EQ(std::make_pair(right.widthPx, right.heightPx), std::make_pair(1024, 768));
  EXPECT_EQ(right.x, 1280);
  EXPECT_EQ(left.scale, 1.0);

  auto session = dbustest::runTask<Expected<std::unique_ptr<ScreenCastSession>, Failure>>(
      loop, [&] { return ScreenCastSession::create(**bus, 10s); });
  ASSERT_TRUE(session && *session) << (session ? session->error().description : "no answer");
  std::vector<std::string> connectors;
  for (const GnomeMonitor& m : **monitors)
    connectors.push_back(m.connector);
  auto nodes = dbustest::runTask<Expected<std::vector<std::uint32_t>, Failure>>(
      loop, [&] { return (**session)->recordMonitors(connectors, 20s); });
  ASSERT_TRUE(nodes && *nodes) << (nodes ? nodes->error().description : "no answer");
  ASSERT_EQ((*nodes)->size(), 2u);
  EXPECT_NE((**nodes)[0], (**nodes)[1]);

  auto pipewire = PipeWireConnection::open(loop);
  ASSERT_TRUE(pipewire) << pipewire.error().description;
  for (std::size_t i = 0; i < 2; ++i) {
    auto stream = PipeWireFrameStream::connect(**pipewire, (**nodes)[i]);
    ASSERT_TRUE(stream) << stream.error().description;
    auto frame = dbustest::runTask<Expected<Image, Failure>>(
        loop, [&] { return (*stream)->nextFrame(20s); }, 30s);
    ASSERT_TRUE(frame && *frame) << (frame ? frame->error().description : "no answer");
    const GnomeMonitor& monitor = (**monitors)[i];
    EXPECT_EQ((*frame)->width(), monitor.widthPx);
    EXPECT_EQ((*frame)->height(), monitor.heightPx);
    // The shell's own picture: opaque, and not one flat colour (the top bar's text at least).
    std::set<std::uint32_t> colours;
    bool opaque = true;
    for (int y = 0; y < (*frame)->height(); y += 3) {
      const std::uint8_t* row = (*frame)->data() + y * (*frame)->stride();
      for (int x = 0; x < (*frame)->width(); x += 3) {
        opaque = opaque && row[x * 4 + 3] == 255;
        std::uint32_t c;
        std::memcpy(&c, row + x * 4, 4);
        colours.insert(c);
      }
    }
    EXPECT_TRUE(opaque);
    EXPECT_GT(colours.size(), 1u) << "monitor " << monitor.connector << " is one flat colour";
  }
}

}  // namespace
}  // namespace orvel::gnome
