// region-capture-helper as the host runs it, on a headless sway with two outputs of scales 1 and
// 2: a drag across both gives grim's pixels at the higher scale, the freeze holds while the screen
// changes, every way a capture ends gives input back to the other clients (which never see any
// while the overlay is up), an output added meanwhile fails the capture, and a compositor that
// goes away answers the waiting capture at once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "messages.h"
#include "orvel/common/json_text.h"
#include "platform/permission_messages.h"
#include "png_file.h"
#include "region_helper_desk.h"
#include "temp_folder.h"
#include "test_pattern_png.h"

namespace orvel::waylandtest {
namespace {

using namespace std::chrono_literals;
using region::testing::TempFolder;

// Output A: 800x600 points at scale 1; output B: 640x360 points at scale 2, to its right.
SwayOptions mixedScales() {
  SwayOptions o;
  o.outputs = {{800, 600, 0, 0, 1, "#204060"}, {1280, 720, 800, 0, 2, "#602040"}};
  return o;
}
constexpr int kLayoutWidth = 1440, kLayoutHeight = 600;

Desk mixedDesk(SwayRig& rig) {
  return Desk(rig, kLayoutWidth, kLayoutHeight);
}

// Starts sway as `rig` on the two outputs and `desk` on it, or skips or fails the test.
#define START_MIXED_DESK(rig, desk) \
  START_SWAY(rig, mixedScales());   \
  Desk desk = mixedDesk(*rig);      \
  ASSERT_TRUE(desk.start())

TEST(WaylandRegionHelper, DragAcrossScalesOneAndTwoGivesGrimsPixelsAndHoldsTheFreeze) {
  START_SWAY(rig, mixedScales());
  TempFolder folder;
  for (std::size_t i = 0; i < 2; ++i) {
    const std::string file = rig->writeFile("bg" + std::to_string(i) + ".png",
                                            patternPng(640, 400, static_cast<int>(i) + 1));
    ASSERT_TRUE(rig->setBackground(rig->outputNames()[i], file));
  }
  Desk desk = mixedDesk(*rig);
  ASSERT_TRUE(desk.start());
  // The region straddles both outputs; the truth is grim's picture of it at scale 2, taken once
  // the screen has settled (two pictures in a row alike).
  const int x0 = 600, y0 = 100, x1 = 1000, y1 = 300;
  const std::string geometry = "600,100 400x200";
  std::optional<RgbaPicture> truth;
  ASSERT_TRUE(waitUntil([&] {
    auto a = grim(*rig, geometry, folder.file("a.png"), 2);
    auto b = grim(*rig, geometry, folder.file("b.png"), 2);
    truth = b;
    return a && b && a->rgba == b->rgba && a->at(10, 10)[1] != 0x40;
  }));
  ASSERT_EQ(truth->width, 800);

  auto helper = desk.helper();
  const std::string path = folder.file("region.png");
  prepareAndCapture(*helper, 4, path);
  ASSERT_TRUE(desk.overlayUp());
  // Frozen: the overlay shows the picture dimmed.
  ASSERT_TRUE(waitUntil([&] {
    auto probe = grim(*rig, "650,150 1x1", folder.file("p.png"));
    return probe && std::abs(int(probe->at(0, 0)[1]) - int(truth->at(100, 100)[1] * 0.78)) <= 3;
  }));
  // The screen changes under the overlay; the capture keeps the frozen picture.
  ASSERT_TRUE(rig->setBackground(rig->outputNames()[0], "#00ff00"));
  desk.pointer->wheel(1);
  desk.pointer->drag(x0, y0, x1, y1);

  const Json answer = reply(*helper);
  const Json region = {{"x", x0}, {"y", y0}, {"width", x1 - x0}, {"height", y1 - y0}};
  ASSERT_EQ(answer, (Json{{"id", 4}, {"ok", true}, {"region", region}})) << answer.dump();
  auto png = readRgbaPng(path);
  ASSERT_TRUE(png);
  ASSERT_EQ(png->width, 800);
  ASSERT_EQ(png->height, 400);
  // 144 dpi: two pixels per point.
  EXPECT_EQ(region::testing::readPng(path)->pixelsPerMetre, 5669u);
  // The scale-2 part is the output's own pixels; the scale-1 part is scaled up by both (grim
  // bilinearly, reaching past the region at its edges), so its inside is compared with a
  // tolerance.
  EXPECT_EQ(largestDifference(*png, 400, 0, *truth, 400, 0, 400, 400), 0);
  EXPECT_LE(largestDifference(*png, 4, 4, *truth, 4, 4, 390, 390), 40);
  ASSERT_TRUE(desk.overlayGone());
  EXPECT_EQ(desk.counter->counts(), (Counts{0, 0, 1}));
}

TEST(WaylandRegionHelper, AGrowingOutlineLeavesNoPieceOfAnEarlierOneBehind) {
  START_MIXED_DESK(rig, desk);
  TempFolder folder;
  auto helper = desk.helper();
  prepareAndCapture(*helper, 8, folder.file("g.png"));
  ASSERT_TRUE(desk.overlayUp());
  auto white = [&](int x, int y) {
    auto p = grim(*rig, std::to_string(x) + "," + std::to_string(y) + " 1x1", folder.file("p.png"));
    return p && p->at(0, 0)[0] == 255 && p->at(0, 0)[1] == 255 && p->at(0, 0)[2] == 255;
  };
  desk.pointer->moveTo(100, 100);
  desk.pointer->button(true);
  // Every outline is waited for, so that the panel shows each one (turning its buffers over).
  for (int i = 1; i <= 4; ++i) {
    desk.pointer->moveTo(100 + 100 * i, 100 + 50 * i);
    ASSERT_TRUE(waitUntil([&] { return white(100 + 50 * i, 100 + 50 * i); })) << i;
  }
  // The earlier bottom and right edges go; the last outline, (100, 100) to (500, 300), stays.
  EXPECT_TRUE(waitUntil([&] {
    return !white(150, 150) && !white(150, 200) && !white(150, 250) && !white(200, 120) &&
           !white(300, 120) && !white(400, 120);
  }));
  EXPECT_TRUE(white(300, 300) && white(500, 200));
  desk.pointer->button(false);
  const Json region = {{"x", 100}, {"y", 100}, {"width", 400}, {"height", 200}};
  EXPECT_EQ(reply(*helper), (Json{{"id", 8}, {"ok", true}, {"region", region}}));
}

TEST(WaylandRegionHelper, EveryEndGivesInputBackAndNoOtherClientSeesAny) {
  START_MIXED_DESK(rig, desk);
  TempFolder folder;
  {
    auto helper = desk.helper();
    send(*helper, R"({"command":"prepare","id":1})");
    ASSERT_TRUE(desk.overlayUp());
    // A new "prepare" ends the capture in progress with its own cancel reply.
    send(*helper, R"({"command":"prepare","id":2})");
    EXPECT_EQ(reply(*helper), canceled(1));
    ASSERT_TRUE(desk.overlayUp());
    desk.pointer->moveTo(100, 100);
    desk.pointer->button(true);
    desk.pointer->button(false);
    ASSERT_TRUE(desk.key("a"));
    ASSERT_TRUE(desk.key("Escape"));
    EXPECT_EQ(reply(*helper), canceled(2));
    ASSERT_TRUE(desk.overlayGone());
    // Neither the click nor the keys reached the window under the overlay.
    EXPECT_EQ(desk.counter->counts(), (Counts{0, 0, 1}));

    // A selection of a point or two cancels.
    prepareAndCapture(*helper, 3, folder.file("t.png"));
    ASSERT_TRUE(desk.overlayUp());
    desk.pointer->drag(300, 300, 301, 302, 1);
    EXPECT_EQ(reply(*helper), canceled(3));
    EXPECT_FALSE(std::filesystem::exists(folder.file("t.png")));

    send(*helper, R"({"command":"prepare","id":4})");
    ASSERT_TRUE(desk.overlayUp());
    send(*helper, R"({"command":"cancel","id":99})");
    send(*helper, R"({"command":"cancel","id":4})");
    EXPECT_EQ(reply(*helper), canceled(4));
    ASSERT_TRUE(desk.overlayGone());

    send(*helper, R"({"command":"prepare","id":6})");
    ASSERT_TRUE(desk.overlayUp());
    send(*helper, R"({"command":"quit"})");
    EXPECT_EQ(reply(*helper), canceled(6));
    EXPECT_EQ(helper->wait(5s), 0);
    ASSERT_TRUE(desk.overlayGone());
  }
  {
    auto helper = desk.helper();
    send(*helper, R"({"command":"prepare","id":7})");
    ASSERT_TRUE(desk.overlayUp());
    helper->kill();
    ASSERT_TRUE(desk.overlayGone());
  }
  // Input reaches the other application again.
  const Counts before = desk.counter->counts();
  desk.pointer->moveTo(200, 200);
  desk.pointer->button(true);
  desk.pointer->button(false);
  ASSERT_TRUE(desk.key("b"));
  EXPECT_TRUE(waitUntil([&] {
    const Counts now = desk.counter->counts();
    return now.buttons == before.buttons + 1 && now.keys == before.keys + 1;
  }));

  // An output added while a capture waits fails it with its message (last: sway may move the
  // focus to the new output).
  auto helper = desk.helper();
  send(*helper, R"({"command":"prepare","id":5})");
  ASSERT_TRUE(desk.overlayUp());
  ASSERT_TRUE(rig->swaymsg({"create_output"}));
  send(*helper, R"({"command":"capture","id":5,"path":")" + folder.file("x.png") + "\"}");
  EXPECT_EQ(reply(*helper),
            (Json{{"id", 5}, {"ok", false}, {"error", region::kDisplayConfigurationChanged}}));
  EXPECT_FALSE(std::filesystem::exists(folder.file("x.png")));
}

TEST(WaylandRegionHelper, FocusWithoutAKeymapIsNoCrash) {
  START_MIXED_DESK(rig, desk);
  // The only keyboard goes away: the seat has no keymap left for the overlay's focus.
  desk.keyboard.reset();
  auto helper = desk.helper();
  send(*helper, R"({"command":"prepare","id":1})");
  ASSERT_TRUE(desk.overlayUp());
  // A keyboard that comes back brings its keymap once it is up (no sign tells when: press until
  // the helper answers), and Escape works again.
  desk.keyboard = startProcess({"wtype", "-s", "600000"}, rig->environment(), false);
  Json answer;
  EXPECT_TRUE(waitUntil([&] {
    desk.key("Escape");
    answer = reply(*helper, 200ms);
    return !answer.is_null();
  }));
  EXPECT_EQ(answer, canceled(1));
  send(*helper, R"({"command":"quit"})");
  EXPECT_EQ(helper->wait(5s), 0);
}

long cpuTicks(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), {});
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long utime = 0, stime = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14) utime = std::stol(field);
    if (i == 15) {
      stime = std::stol(field);
      break;
    }
  }
  return utime + stime;
}

TEST(WaylandRegionHelper, ALostCompositorAnswersTheWaitingCaptureAndDoesNotSpin) {
  START_MIXED_DESK(rig, desk);
  auto helper = desk.helper();
  send(*helper, R"({"command":"prepare","id":1})");
  ASSERT_TRUE(desk.overlayUp());
  desk.counter.reset();
  rig->killCompositor();
  EXPECT_EQ(reply(*helper, 1s), canceled(1));
  // From now on the helper answers as one that found no compositor at start: a later "prepare"
  // gets the permission reply at once, where it once waited for input that could not come.
  send(*helper, R"({"command":"prepare","id":2})");
  const Json refused = reply(*helper, 2s);
  EXPECT_EQ(refused, (Json{{"id", 2},
                           {"ok", false},
                           {"permission", true},
                           {"error", platform::kCannotConnectToDisplay}}))
      << refused.dump();
  // Idle without its compositor, the helper uses (next to) no processor time.
  const long before = cpuTicks(helper->pid());
  std::this_thread::sleep_for(500ms);
  EXPECT_LE(cpuTicks(helper->pid()) - before, 5);
  send(*helper, R"({"command":"quit"})");
  EXPECT_EQ(helper->wait(5s), 0);
}

TEST(WaylandRegionHelper, NoCompositorGivesThePermissionReply) {
  auto helper = startProcess({ORVEL_REGION_HELPER}, {{"WAYLAND_DISPLAY", "/nonexistent/wayland-9"},
                                                     {"DISPLAY", ""},
                                                     {"ORVEL_BACKEND", "wayland"}});
  ASSERT_TRUE(helper);
  send(*helper, R"({"command":"prepare","id":3})");
  const Json answer = reply(*helper);
  EXPECT_EQ(answer["ok"], false);
  EXPECT_EQ(answer["permission"], true);
}

}  // namespace
}  // namespace orvel::waylandtest
