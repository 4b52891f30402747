// Both X11 overlays draw a panel's content as platform/overlay.h states, read back from the screen
// pixel by pixel: the picture filling the panel, the veil over it, the instruction in white at its
// place, the selection's white outline; a moved or cleared outline leaves the backdrop as it was,
// and a new picture replaces the backdrop.
#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_event_pump.h"
#include "platform/x11/x11_frozen_overlay.h"
#include "platform/x11/x11_overlay.h"
#include "platform/x11/x11_reply.h"
#include "platform/x11/x11_screens.h"
#include "test_pattern.h"
#include "xvfb_rig.h"

namespace orvel::x11test {
namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 800, kHeight = 600;
constexpr std::uint32_t kWhite = 0xffffffffu;

std::shared_ptr<const Image> patternPicture(int seed) {
  Image image = Image::uninitialized(kWidth, kHeight);
  for (int y = 0; y < kHeight; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(image.row(y));
    for (int x = 0; x < kWidth; ++x)
      row[x] = patternPixel(x, y, seed);
  }
  return std::make_shared<const Image>(std::move(image));
}

// A pattern pixel under the 22% black veil.
std::uint32_t veiled(int x, int y, int seed) {
  const std::uint32_t p = patternPixel(x, y, seed);
  std::uint32_t out = 0xff000000u;
  for (int shift : {0, 8, 16}) {
    const auto c = static_cast<std::uint32_t>(((p >> shift) & 0xff) * 0.78 + 0.5);
    out |= c << shift;
  }
  return out;
}

bool near(std::uint32_t a, std::uint32_t b) {
  for (int shift : {0, 8, 16, 24}) {
    const int d = static_cast<int>((a >> shift) & 0xff) - static_cast<int>((b >> shift) & 0xff);
    if (d < -1 || d > 1) return false;
  }
  return true;
}

// The root window's pixels, as opaque BGRA words.
class Screenshot {
 public:
  explicit Screenshot(XvfbRig& rig) {
    xcb_connection_t* c = rig.connection().get();
    x11::Reply<xcb_get_image_reply> image(
        rig.connection(), xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, rig.connection().root(), 0, 0,
                                        kWidth, kHeight, ~0u));
    if (!image) return;
    const auto* words = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image.get()));
    pixels_.assign(words, words + kWidth * kHeight);
  }
  std::uint32_t at(int x, int y) const {
    return pixels_.empty() ? 0 : pixels_[static_cast<std::size_t>(y) * kWidth + x] | 0xff000000u;
  }
  // Pixels of the area that are not the veiled pattern.
  int changed(int x0, int y0, int x1, int y1, int seed) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x)
        n += !near(at(x, y), veiled(x, y, seed));
    }
    return n;
  }
  int white(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x)
        n += at(x, y) == kWhite;
    }
    return n;
  }

 private:
  std::vector<std::uint32_t> pixels_;
};

enum class Kind { Frozen, Live };

struct OverlayRig {
  explicit OverlayRig(XvfbRig& rig, Kind kind)
      : x(rig),
        connection(x11::X11Connection::open(rig.display().c_str())),
        pump(loop, *connection),
        screens(*connection) {
    if (kind == Kind::Frozen) {
      overlay = std::make_unique<x11::X11FrozenOverlay>(loop, *connection, screens, pump);
    } else {
      overlay = std::make_unique<x11::X11Overlay>(loop, *connection, screens, pump);
    }
  }
  // Runs the loop until the screen satisfies `done`; false after 5 s.
  bool until(const std::function<bool(const Screenshot&)>& done) {
    const auto stop = clock.now() + 5s;
    for (;;) {
      if (done(Screenshot(x))) return true;
      if (clock.now() >= stop) return false;
      loop.addTimer(10ms, [] {});
      loop.runUntilIdle();
    }
  }
  XvfbRig& x;
  SteadyClock clock;
  EventLoop loop{clock};
  std::unique_ptr<x11::X11Connection> connection;
  x11::X11EventPump pump;
  x11::X11Screens screens;
  std::unique_ptr<platform::Overlay> overlay;
  platform::OverlayView view;
};

class X11OverlayContent : public ::testing::TestWithParam<Kind> {};

TEST_P(X11OverlayContent, DrawsPictureVeilInstructionAndOutlineInThatOrder) {
  RigOptions options;
  options.width = kWidth;
  options.height = kHeight;
  START_RIG(rig, options);
  OverlayRig o(*rig, GetParam());
  ASSERT_TRUE(o.connection);
  auto panel = o.overlay->createPanel({{0, 0, kWidth, kHeight}, 1000, false}, o.view);
  panel->setPicture(patternPicture(1));
  panel->setVeil({0, 0, 0, 0.22});
  panel->setInstruction({"Drag", 22});
  // Window coordinates, y up: the outline's top edge is on root row 600 - 300.
  panel->setSelection(platform::Outline{{100, 100, 300, 200}, 2});
  panel->show(false);
  ASSERT_TRUE(o.until([](const Screenshot& s) { return s.at(250, 300) == kWhite; }));

  Screenshot shot(*rig);
  // The 2-point outline is centred on the rectangle's edges.
  for (int x : {100, 250, 399}) {
    EXPECT_EQ(shot.at(x, 299), kWhite) << x;
    EXPECT_EQ(shot.at(x, 300), kWhite) << x;
    EXPECT_EQ(shot.at(x, 499), kWhite) << x;
    EXPECT_EQ(shot.at(x, 500), kWhite) << x;
  }
  EXPECT_EQ(shot.at(99, 400), kWhite);
  EXPECT_EQ(shot.at(100, 400), kWhite);
  EXPECT_EQ(shot.at(400, 400), kWhite);
  // Inside and outside the outline, away from the text: the picture, pixel for pixel, veiled.
  EXPECT_EQ(shot.changed(102, 302, 398, 498, 1), 0);
  EXPECT_EQ(shot.changed(420, 100, 800, 600, 1), 0);
  EXPECT_EQ(shot.changed(0, 0, 800, 40, 1), 0) << "nothing above the instruction";
  // The instruction's baseline starts 35 points from the left, 70 below the top.
  EXPECT_GT(shot.white(35, 50, 100, 71), 20);
  EXPECT_EQ(shot.changed(0, 40, 34, 100, 1), 0);
  EXPECT_EQ(shot.changed(0, 80, 800, 298, 1), 0) << "the text's descender ends above row 80";

  // A moved outline leaves the backdrop where it was.
  panel->setSelection(platform::Outline{{500, 100, 200, 200}, 2});
  ASSERT_TRUE(o.until([](const Screenshot& s) { return s.at(600, 300) == kWhite; }));
  ASSERT_TRUE(o.until([](const Screenshot& s) { return s.changed(90, 290, 410, 510, 1) == 0; }));
  EXPECT_EQ(Screenshot(*rig).at(499, 400), kWhite);

  panel->setSelection(std::nullopt);
  ASSERT_TRUE(o.until([](const Screenshot& s) { return s.changed(490, 290, 710, 510, 1) == 0; }));

  // A new picture replaces the backdrop; the veil and the instruction stay.
  panel->setPicture(patternPicture(2));
  ASSERT_TRUE(o.until([](const Screenshot& s) { return s.changed(420, 100, 800, 600, 2) == 0; }));
  Screenshot after(*rig);
  EXPECT_GT(after.white(35, 50, 100, 71), 20);
  EXPECT_EQ(after.white(0, 80, 800, 600), 0) << "no outline";
  panel->close();
}

INSTANTIATE_TEST_SUITE_P(BothOverlays, X11OverlayContent,
                         ::testing::Values(Kind::Frozen, Kind::Live), [](const auto& info) {
                           return info.param == Kind::Frozen ? "Frozen" : "Live";
                         });

}  // namespace
}  // namespace orvel::x11test
