// Wheel events through a virtual pointer: where the pointer goes and what the wheel sends (pure),
// then on a headless sway with two outputs: a counting window gets steps by lines and values by
// pixels in the right direction, the window beside it gets nothing, and a real terminal pager
// scrolls down and back.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "input_counter_process.h"
#include "platform/wayland/sway_window_list.h"
#include "platform/wayland/virtual_pointer_scroll_events.h"
#include "rgba_png.h"
#include "sway_rig.h"

namespace orvel::wayland {
namespace {

using namespace std::chrono_literals;
using platform::ScrollUnit;
using platform::ScrollWheelEvent;
using waylandtest::ChildProcess;
using waylandtest::InputCounter;
using waylandtest::SwayOptions;
using waylandtest::SwayRig;
using waylandtest::waitUntil;
using waylandtest::WheelCounts;

TEST(VirtualPointerMotion, CoversTheLayoutsBoundingBoxFromTheMainOutput) {
  EXPECT_EQ(motionTo(OutputLayout(), {10, 10}), std::nullopt);
  // The main output (at 0,0) is the origin of global coordinates; the box starts at -1280,-200.
  const OutputLayout layout({OutputGeometry{1, "A", {0, 0, 1920, 1080}, 1920, 1080},
                             OutputGeometry{2, "B", {-1280, -200, 1280, 720}, 2560, 1440}});
  EXPECT_EQ(motionTo(layout, {0, 0}), (PointerMotion{1280, 200, 3200, 1280}));
  EXPECT_EQ(motionTo(layout, {960.4, 540.6}), (PointerMotion{2240, 741, 3200, 1280}));
  EXPECT_EQ(motionTo(layout, {-1280, -200}), (PointerMotion{0, 0, 3200, 1280}));
  // Outside the box: kept on its edge.
  EXPECT_EQ(motionTo(layout, {5000, -900}), (PointerMotion{3199, 0, 3200, 1280}));
  EXPECT_EQ(motionTo(layout, {std::nan(""), 0}), std::nullopt);
  EXPECT_EQ(motionTo(layout, {0, std::numeric_limits<double>::infinity()}), std::nullopt);
  // Without an output at 0,0 the first one is the main one.
  const OutputLayout shifted({OutputGeometry{1, "A", {100, 50, 800, 600}, 800, 600},
                              OutputGeometry{2, "B", {900, 0, 800, 600}, 800, 600}});
  EXPECT_EQ(motionTo(shifted, {0, 0}), (PointerMotion{0, 50, 1600, 650}));
}

TEST(VirtualPointerWheel, LinesAreStepsAndPixelsArePlainValuesTowardsTheEndWhenNegative) {
  auto event = [](ScrollUnit unit, std::int32_t delta) {
    ScrollWheelEvent e;
    e.unit = unit;
    e.delta1 = delta;
    return e;
  };
  EXPECT_EQ(wheelMotionFor(event(ScrollUnit::line, -1)), (WheelMotion{15, 1}));
  EXPECT_EQ(wheelMotionFor(event(ScrollUnit::line, 3)), (WheelMotion{-45, -3}));
  EXPECT_EQ(wheelMotionFor(event(ScrollUnit::pixel, -83)), (WheelMotion{83, 0}));
  EXPECT_EQ(wheelMotionFor(event(ScrollUnit::pixel, 83)), (WheelMotion{-83, 0}));
  // Nothing to send; huge deltas are bounded.
  EXPECT_EQ(wheelMotionFor(event(ScrollUnit::pixel, 0)), std::nullopt);
  EXPECT_EQ(wheelMotionFor(event(ScrollUnit::line, 0)), std::nullopt);
  EXPECT_EQ(wheelMotionFor(event(ScrollUnit::line, std::numeric_limits<std::int32_t>::min())),
            (WheelMotion{kMaxStepsPerEvent * kWheelStepValue, kMaxStepsPerEvent}));
  EXPECT_EQ(wheelMotionFor(event(ScrollUnit::pixel, std::numeric_limits<std::int32_t>::max())),
            (WheelMotion{-kMaxPixelsPerEvent, 0}));
}

// Output A 800x600 at 0,0; output B 640x480 to its right.
SwayOptions twoOutputs() {
  SwayOptions o;
  o.outputs = {{800, 600, 0, 0, 1, "#204060"}, {640, 480, 800, 0, 1, "#602040"}};
  return o;
}

// Makes and posts `count` events as the scroll helper does: all made, the source closed, then
// posted one by one.
bool scroll(platform::ScrollEvents& events, ScrollUnit unit, std::int32_t delta, int count,
            Point at) {
  if (!events.openSource()) return false;
  std::vector<ScrollWheelEvent> list;
  for (int i = 0; i < count; ++i) {
    auto e = events.createScrollWheelEvent(unit, 1, delta, 0, 0);
    if (!e) return false;
    e->location = at;
    list.push_back(*e);
  }
  events.closeSource();
  for (const auto& e : list)
    events.post(e);
  return true;
}

bool wheelShows(InputCounter& counter, int axisEvents, double value, int discreteEvents,
                int steps) {
  std::optional<WheelCounts> last;
  const bool shown = waitUntil([&] {
    last = counter.wheel();
    return last && last->axisEvents == axisEvents && last->discreteEvents == discreteEvents &&
           last->discreteSteps == steps && std::fabs(last->axisValue - value) < 0.01;
  });
  if (!shown && last) {
    ADD_FAILURE() << "axis " << last->axisEvents << " value " << last->axisValue << " discrete "
                  << last->discreteEvents << " steps " << last->discreteSteps;
  }
  return shown;
}

TEST(VirtualPointerScrollEvents, ScrollsTheWindowUnderTheLocationByLinesAndByPixels) {
  START_SWAY(rig, twoOutputs());
  // Made first: the headless seat has no pointer until it makes one, and the windows must know of
  // it before the wheel turns.
  VirtualPointerScrollEvents events(rig->waylandDisplay().c_str());
  ASSERT_TRUE(events.available());
  InputCounter left(*rig);
  ASSERT_TRUE(left.ready());
  ASSERT_TRUE(rig->swaymsg({"focus", "output", rig->outputNames()[1]}));
  InputCounter right(*rig);
  ASSERT_TRUE(right.ready());
  // No source, no events.
  EXPECT_FALSE(events.createScrollWheelEvent(ScrollUnit::line, 1, -1, 0, 0));
  const Point rightCentre{800 + 320, 240};

  // Three lines towards the end: three wheel steps of 15, named as a wheel.
  ASSERT_TRUE(scroll(events, ScrollUnit::line, -1, 3, rightCentre));
  EXPECT_TRUE(wheelShows(right, 3, 45, 3, 3));
  EXPECT_GE(right.wheel()->wheelSources, 3);
  // Pixels towards the start: plain values, no steps. A zero delta sends nothing.
  ASSERT_TRUE(scroll(events, ScrollUnit::pixel, 83, 3, rightCentre));
  ASSERT_TRUE(scroll(events, ScrollUnit::pixel, 0, 1, rightCentre));
  ASSERT_TRUE(scroll(events, ScrollUnit::line, 2, 1, rightCentre));
  EXPECT_TRUE(wheelShows(right, 7, 45 - 249 - 30, 4, 1));

  // The left window gets what is aimed at it, and had nothing before.
  EXPECT_TRUE(wheelShows(left, 0, 0, 0, 0));
  ASSERT_TRUE(scroll(events, ScrollUnit::pixel, -10, 2, {400, 300}));
  EXPECT_TRUE(wheelShows(left, 2, 20, 0, 0));
  EXPECT_TRUE(wheelShows(right, 7, 45 - 249 - 30, 4, 1));

  // A compositor that went away: no source, and posting does nothing.
  rig->killCompositor();
  EXPECT_FALSE(events.openSource());
  EXPECT_FALSE(events.createScrollWheelEvent(ScrollUnit::line, 1, -1, 0, 0));
}

// The lines of text in the middle of the page, as grim takes them: away from where the pointer
// starts and from where it turns the wheel, since the headless output draws the pointer into its
// pictures.
std::optional<std::vector<std::uint8_t>> screen(SwayRig& rig, const std::string& file) {
  if (rig.run({"grim", "-g", "0,140 300x420", file}) != 0) return std::nullopt;
  auto picture = waylandtest::readRgbaPng(file);
  if (!picture) return std::nullopt;
  return std::move(picture->rgba);
}

// The screen once two pictures in a row are alike and `accept` takes it.
std::optional<std::vector<std::uint8_t>> settledScreen(
    SwayRig& rig, const std::string& file,
    const std::function<bool(const std::vector<std::uint8_t>&)>& accept) {
  std::optional<std::vector<std::uint8_t>> last, settled;
  waitUntil(
      [&] {
        auto now = screen(rig, file);
        if (now && last && *now == *last && accept(*now)) settled = now;
        last = std::move(now);
        return settled.has_value();
      },
      20s);
  return settled;
}

TEST(VirtualPointerScrollEvents, ARealPagerScrollsDownAndBackByWheelSteps) {
  SwayOptions one;
  one.outputs = {{800, 600, 0, 0, 1, "#000000"}};
  START_SWAY(rig, one);
  std::string text;
  for (int i = 1; i <= 2000; ++i)
    text += "line " + std::to_string(i) + " of a long file\n";
  const std::string file = rig->writeFile("long.txt", {text.begin(), text.end()});
  VirtualPointerScrollEvents events(rig->waylandDisplay().c_str());
  ASSERT_TRUE(events.available());
  ChildProcess::Options o;
  o.environment = rig->environment();
  o.pipeStdin = o.pipeStdout = false;
  auto pager = ChildProcess::start({"foot", "--app-id", "orvel-pager", "less", "--mouse", file}, o);
  ASSERT_TRUE(pager);
  const std::string shot = file + ".png";
  // The pager has drawn its whole first page: light text over much of the strip, far more than
  // the cursor of an empty terminal, down to its last rows (it writes the page top to bottom, and
  // a busy machine can show a part of it for two pictures in a row).
  const auto top = settledScreen(*rig, shot, [](const auto& rgba) {
    const std::size_t lastRows = rgba.size() - std::size_t{300} * 28 * 4;
    int light = 0, lightAtTheEnd = 0;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
      light += rgba[i] > 128;
      lightAtTheEnd += i >= lastRows && rgba[i] > 128;
    }
    return light > 3000 && lightAtTheEnd > 50;
  });
  ASSERT_TRUE(top) << "foot did not show the file";
  // Nothing lies before the first page: steps towards the end change the page, and as many steps
  // back give the first page again. A reversed wheel cannot bring the first page back.
  ASSERT_TRUE(scroll(events, ScrollUnit::line, -1, 3, {600, 300}));
  const auto down = settledScreen(*rig, shot, [&](const auto& rgba) { return rgba != *top; });
  ASSERT_TRUE(down) << "the page did not scroll";
  ASSERT_TRUE(scroll(events, ScrollUnit::line, 1, 3, {600, 300}));
  EXPECT_TRUE(settledScreen(*rig, shot, [&](const auto& rgba) { return rgba == *top; }))
      << "the page did not come back";
}

TEST(VirtualPointerScrollEvents, NoCompositorMeansNoSource) {
  VirtualPointerScrollEvents events("/nonexistent/wayland-9");
  EXPECT_FALSE(events.available());
  EXPECT_FALSE(events.openSource());
  ScrollWheelEvent e;
  e.delta1 = -1;
  events.post(e);  // nothing to post to, and no crash
}

}  // namespace
}  // namespace orvel::wayland
