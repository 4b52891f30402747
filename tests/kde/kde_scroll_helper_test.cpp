// The scroll helper's KDE pieces on a headless KWin. The window list: KWin's script reports the
// test's window with its owner and geometry, follows it when it closes, activates the window
// asked for, and is unloaded when the list ends. scroll-capture-helper installed into a temporary
// prefix (its desktop entry authorises pictures and fake input), run as the host runs it: a
// selection dragged over a window showing a long page, frames equal to the page and to KWin's own
// picture of the region, a scroll that moves the page by what it sent, "activate", and the window
// closing, which stops the capture. Run from the build tree, which no entry names, it answers
// "select" with what to install.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "input_counter_process.h"
#include "kwin_rig.h"
#include "orvel/common/json_text.h"
#include "rig_support.h"
#include "scroll_helper_process.h"
#include "sway_rig.h"
#include "test_pattern.h"

namespace orvel::kdetest {
namespace {

using namespace std::chrono_literals;
using waylandtest::InputCounter;
using waylandtest::waitUntil;
using x11test::error;
using x11test::ok;
using x11test::patternMismatches;
using x11test::ScrollHelperProcess;

constexpr const char* kMoved = "Target window moved, resized or closed; capture stopped.";
constexpr int kSeed = 6;

// KWin's windows as the helper's list keeps them, through orvel_kde_window_list.
class WindowList {
 public:
  explicit WindowList(const KWinRig& rig)
      : process_(rig.spawn({ORVEL_KDE_WINDOW_LIST, ORVEL_WINDOW_LIST_SCRIPT})) {
    ready_ = process_ && process_->readLine(20s) == "ready";
  }
  bool ready() const { return ready_; }
  Json list() {
    if (!process_->write("list\n")) return Json();
    const auto line = process_->readLine(10s);
    return line ? parseJson(*line).value_or(Json()) : Json();
  }
  // The entry of `pid`'s window once the list holds one.
  Json windowOf(int pid) {
    Json found;
    waitUntil(
        [&] {
          for (const Json& w : list())
            if (w.value("pid", 0) == pid) found = w;
          return !found.is_null();
        },
        20s);
    return found;
  }
  // Whether KWin holds this list's script (named after the list's process).
  bool scriptLoaded(const KWinRig& rig) {
    std::string out;
    rig.run({"dbus-send", "--session", "--print-reply", "--dest=org.kde.KWin", "/Scripting",
             "org.kde.kwin.Scripting.isScriptLoaded",
             "string:orvel-window-list-" + std::to_string(process_->pid())},
            &out, 10s);
    return out.find("boolean true") != std::string::npos;
  }
  // Ends the list's process, which unloads its script.
  bool end() {
    process_->closeStdin();
    return process_->wait(10s) == 0;
  }
  bool activate(int number) {
    return process_->write("activate " + std::to_string(number) + "\n") &&
           process_->readLine(10s) == "ok";
  }

 private:
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
};

TEST(KdeWindowList, ReportsWindowsWithOwnerAndGeometryFollowsThemAndActivates) {
  START_KWIN(rig, KWinOptions{});
  WindowList windows(*rig);
  ASSERT_TRUE(windows.ready());
  auto counter = std::make_unique<InputCounter>(rig->spawn(InputCounter::arguments(2)));
  ASSERT_TRUE(counter->ready());
  const Json first = windows.windowOf(counter->pid());
  ASSERT_TRUE(first.is_object());
  EXPECT_EQ(first["width"], 640);
  EXPECT_EQ(first["height"], 480);
  EXPECT_EQ(first["level"], 0);
  EXPECT_EQ(first["dock"], false);
  std::vector<Json> mine;
  ASSERT_TRUE(waitUntil([&] {
    mine.clear();
    for (const Json& w : windows.list())
      if (w.value("pid", 0) == counter->pid()) mine.push_back(w);
    return mine.size() == 2 && (mine[0]["active"] == true || mine[1]["active"] == true);
  }));
  // Front-most first: KWin activates the window it opened last, which is on top.
  EXPECT_EQ(mine[0]["active"], true);
  EXPECT_EQ(mine[0]["caption"], "Orvel input counter 2");
  EXPECT_EQ(mine[1]["caption"], "Orvel input counter");
  EXPECT_NE(mine[0]["number"], mine[1]["number"]);
  ASSERT_TRUE(waitUntil([&] { return counter->focusedWindow() == 2; }));

  // Activating the one behind brings it forward and gives it the keyboard.
  ASSERT_TRUE(windows.activate(mine[1]["number"].get<int>()));
  EXPECT_TRUE(waitUntil([&] { return counter->focusedWindow() == 1; }));
  EXPECT_TRUE(waitUntil([&] {
    const Json list = windows.list();
    return !list.empty() && list[0]["number"] == mine[1]["number"] && list[0]["active"] == true;
  }));

  const int pid = counter->pid();
  counter.reset();
  EXPECT_TRUE(waitUntil([&] {
    const Json list = windows.list();
    return list.is_array() && std::none_of(list.begin(), list.end(),
                                           [&](const Json& w) { return w.value("pid", 0) == pid; });
  }));
}

TEST(KdeScrollHelper, InstalledHelperSelectsCapturesScrollsActivatesAndSeesTheTargetClose) {
  InstalledProject installed;
  std::string log;
  ASSERT_TRUE(installed.install(ORVEL_BUILD_DIR, log)) << log;
  KWinOptions options;
  options.dataDirs = {installed.prefix() + "/share"};
  options.entries = {
      {"orvel-kde-hand", ORVEL_KDE_HAND, {}, {"org_kde_kwin_fake_input"}},
      {"orvel-kde-screenshot", ORVEL_KDE_SCREENSHOT, {"org.kde.KWin.ScreenShot2"}, {}}};
  START_KWIN(rig, options);
  WindowList windows(*rig);
  ASSERT_TRUE(windows.ready());
  InputCounter page(rig->spawn(InputCounter::arguments(1, kSeed)));
  ASSERT_TRUE(page.ready());
  const Json placed = windows.windowOf(page.pid());
  ASSERT_TRUE(placed.is_object());
  const int wx = placed["x"].get<int>(), wy = placed["y"].get<int>();
  auto hand = rig->spawn({ORVEL_KDE_HAND});
  ASSERT_TRUE(hand);
  ASSERT_EQ(hand->readLine(30s), "ready");
  auto move = [&](int x, int y) {
    return hand->write("move " + std::to_string(x) + " " + std::to_string(y) + "\n") &&
           hand->readLine(10s) == "ok";
  };
  auto press = [&](const char* state) {
    return hand->write(std::string("button ") + state + "\n") && hand->readLine(10s) == "ok";
  };
  // KWin's own picture of an area, BGRA.
  auto area = [&](int x, int y, int w, int h) {
    const std::string file = rig->runtimeDir() + "/truth";
    if (rig->run({ORVEL_KDE_SCREENSHOT, "area", std::to_string(x), std::to_string(y),
                  std::to_string(w), std::to_string(h), file},
                 nullptr, 30s) != 0) {
      return std::vector<std::uint8_t>();
    }
    return testsupport::readFileBytes(file);
  };

  // The region, inside the window; the outputs start at KWin's origin, so points are global.
  const int x0 = wx + 100, y0 = wy + 80, w = 300, h = 240;
  ASSERT_TRUE(
      waitUntil([&] { return patternMismatches(area(x0, y0, w, h), w, h, 100, 80, kSeed) == 0; }));
  ScrollHelperProcess helper(
      rig->spawn({installed.prefix() + "/libexec/orvel/scroll-capture-helper"}));
  ASSERT_TRUE(helper.running());
  helper.send("select");
  // The overlay dims the screen once it is up. (KWin 5.27 leaves the keyboard with the page
  // under the live overlay, so Escape does not reach it there.)
  ASSERT_TRUE(waitUntil(
      [&] { return patternMismatches(area(x0, y0, w, h), w, h, 100, 80, kSeed) != 0; }, 30s))
      << helper.reply(1s).dump();
  ASSERT_TRUE(move(x0, y0) && press("down") && move(x0 + w / 2, y0 + h / 2) &&
              move(x0 + w, y0 + h) && press("up"));
  const Json selected = helper.reply(20s);
  ASSERT_EQ(ok(selected), true) << selected.dump();
  EXPECT_EQ(selected["region"], (Json{{"x", x0}, {"y", y0}, {"width", w}, {"height", h}}));
  // The pointer, which KWin draws into its pictures, away from the region: on the other output.
  ASSERT_TRUE(move(2500, 790));

  std::vector<std::uint8_t> frame;
  auto capture = [&] {
    const Json reply = helper.request("capture");
    frame = ok(reply) ? helper.payload(reply["length"].get<std::size_t>())
                      : std::vector<std::uint8_t>();
    return reply;
  };
  std::string notYet;
  auto pageComes = [&](int offset) {
    return waitUntil([&] {
      const Json reply = capture();
      const int bad = ok(reply) ? patternMismatches(frame, w, h, 100, 80 + offset, kSeed) : -1;
      notYet = bad < 0 ? error(reply) : std::to_string(bad) + " pixels differ";
      return bad == 0;
    });
  };
  ASSERT_TRUE(pageComes(0)) << notYet;
  // The same pixels as KWin's own picture of the region.
  EXPECT_EQ(frame, area(x0, y0, w, h));

  // Half the region's height: three axis events of a third of it each, in logical pixels.
  EXPECT_EQ(ok(helper.request("scroll", ",\"fraction\":0.5")), true);
  ASSERT_TRUE(move(2500, 790));
  const auto wheel = page.wheel();
  ASSERT_TRUE(wheel);
  EXPECT_EQ(wheel->axisValue, h / 2);
  EXPECT_EQ(wheel->axisEvents, 3);
  EXPECT_EQ(page.pageOffset(), h / 2);
  EXPECT_TRUE(pageComes(h / 2)) << notYet;

  // "activate" brings the target back to the front after another window took it.
  InputCounter other(rig->spawn(InputCounter::arguments(1)));
  ASSERT_TRUE(other.ready());
  ASSERT_TRUE(waitUntil([&] { return other.focused(); }));
  EXPECT_EQ(ok(helper.request("activate")), true);
  EXPECT_TRUE(waitUntil([&] { return page.focused(); }));
  EXPECT_TRUE(pageComes(h / 2)) << notYet;

  ::kill(page.pid(), SIGKILL);
  EXPECT_TRUE(waitUntil([&] { return error(capture()) == kMoved; }));
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  EXPECT_EQ(helper.process().wait(10s), 0);
}

TEST(KdeScrollHelper, HelperFromTheBuildTreeIsToldWhatToInstall) {
  START_KWIN(rig, KWinOptions{});
  ChildProcess::Options o;
  o.environment = {{"ORVEL_BACKEND", "kde"}};
  ScrollHelperProcess helper(rig->spawn({ORVEL_SCROLL_HELPER}, o));
  ASSERT_TRUE(helper.running());
  const std::string refusal = error(helper.request("select"));
  EXPECT_NE(
      refusal.find("KDE Plasma refused screen pictures to " + std::string(ORVEL_SCROLL_HELPER)),
      std::string::npos)
      << refusal;
  EXPECT_NE(refusal.find("share/applications/orvel-scroll-capture-helper.desktop"),
            std::string::npos)
      << refusal;
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  EXPECT_EQ(helper.process().wait(10s), 0);
}

}  // namespace
}  // namespace orvel::kdetest
