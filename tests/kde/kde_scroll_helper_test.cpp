// The scroll helper's KDE pieces on a headless KWin. The window list: KWin's script reports the
// test's window with its owner and geometry, follows it when it closes, activates the window
// asked for, and unloads itself once its list was killed. scroll-capture-helper installed into a
// temporary prefix (its desktop entry authorises pictures and fake input), run as the host runs
// it: a selection dragged over a window showing a long page, frames equal to the page and to
// KWin's own picture of the region, a scroll that moves the page by what it sent, and every
// target check: focus lost (then "activate"), the region covered, the target moved, resized and
// closed. Run from the build tree, which no entry names, it answers "select" with what to install.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "input_counter_process.h"
#include "kwin_rig.h"
#include "kwin_windows.h"
#include "orvel/common/json_text.h"
#include "rig_support.h"
#include "scroll_helper_process.h"
#include "sway_rig.h"
#include "test_pattern.h"

namespace orvel::kdetest {
namespace {

using namespace std::chrono_literals;
using waylandtest::InputCounter;
using x11test::error;
using x11test::ok;
using x11test::patternMismatches;
using x11test::ScrollHelperProcess;

// KWin under load takes seconds to run a script and report what changed: every wait here is for
// an event, so its bound is generous.
bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 30s) {
  return testsupport::waitUntil(condition, timeout);
}

constexpr const char* kMoved = "Target window moved, resized or closed; capture stopped.";
constexpr const char* kCovered = "Another window covers the capture region; capture stopped.";
constexpr const char* kLostFocus = "Target lost focus; capture stopped.";
constexpr int kSeed = 6;

// The script files this machine's helpers left in the rig's runtime folder.
std::vector<std::string> scriptFilesIn(const KWinRig& rig) {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(rig.runtimeDir())) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("orvel-") && name.ends_with(".js")) files.push_back(name);
  }
  return files;
}

TEST(KdeWindowList, ReportsWindowsFollowsThemActivatesAndLeavesNoScriptBehindWhenKilled) {
  START_KWIN(rig, KWinOptions{});
  KWinWindows windows(*rig);
  ASSERT_TRUE(windows.ready());
  // KWin has read the script once it runs, so its file is gone already.
  EXPECT_EQ(scriptFilesIn(*rig), std::vector<std::string>());
  auto counter = std::make_unique<InputCounter>(rig->spawn(InputCounter::arguments(2)));
  ASSERT_TRUE(counter->ready());
  const Json first = windows.windowOf(counter->pid());
  ASSERT_TRUE(first.is_object());
  EXPECT_EQ(first["width"], 640);
  EXPECT_EQ(first["height"], 480);
  EXPECT_EQ(first["level"], 0);
  EXPECT_EQ(first["dock"], false);
  std::vector<Json> mine;
  ASSERT_TRUE(waitUntil(
      [&] {
        mine.clear();
        for (const Json& w : windows.list())
          if (w.value("pid", 0) == counter->pid()) mine.push_back(w);
        return mine.size() == 2 && (mine[0]["active"] == true || mine[1]["active"] == true);
      },
      30s))
      << windows.list().dump();
  // Front-most first: KWin activates the window it opened last, which is on top.
  EXPECT_EQ(mine[0]["active"], true);
  EXPECT_EQ(mine[0]["caption"], "Orvel input counter 2");
  EXPECT_EQ(mine[1]["caption"], "Orvel input counter");
  EXPECT_NE(mine[0]["number"], mine[1]["number"]);
  ASSERT_TRUE(waitUntil([&] { return counter->focusedWindow() == 2; }));

  // Activating the one behind brings it forward and gives it the keyboard; the one-shot script
  // that did it unloads itself.
  ASSERT_TRUE(windows.activate(mine[1]["number"].get<int>()));
  EXPECT_TRUE(waitUntil([&] { return counter->focusedWindow() == 1; }));
  EXPECT_TRUE(waitUntil([&] {
    const Json list = windows.list();
    return !list.empty() && list[0]["number"] == mine[1]["number"] && list[0]["active"] == true;
  }));
  EXPECT_TRUE(waitUntil([&] { return !windows.scriptLoaded("orvel-activate"); }));
  EXPECT_TRUE(waitUntil([&] { return scriptFilesIn(*rig).empty(); }));

  const int pid = counter->pid();
  counter.reset();
  EXPECT_TRUE(waitUntil([&] {
    const Json list = windows.list();
    return list.is_array() && std::none_of(list.begin(), list.end(),
                                           [&](const Json& w) { return w.value("pid", 0) == pid; });
  }));

  // Killed outright, the list cannot unload its script: the script sees at its next report that
  // nobody listens any more and unloads itself.
  ASSERT_TRUE(windows.scriptLoaded());
  ASSERT_TRUE(windows.kill());
  InputCounter another(rig->spawn(InputCounter::arguments(1)));
  ASSERT_TRUE(another.ready());
  EXPECT_TRUE(waitUntil([&] { return !windows.scriptLoaded(); }));
  EXPECT_EQ(scriptFilesIn(*rig), std::vector<std::string>());
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
  KWinWindows windows(*rig);
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
  // The overlay dims the screen once it is up, and takes the keyboard: Escape ends the selection
  // and the page sees no key.
  auto overlayUp = [&] {
    return waitUntil(
        [&] { return patternMismatches(area(x0, y0, w, h), w, h, 100, 80, kSeed) != 0; }, 30s);
  };
  auto key = [&](int code, const char* state) {
    return hand->write("key " + std::to_string(code) + " " + state + "\n") &&
           hand->readLine(10s) == "ok";
  };
  const int keysBefore = page.counts().keys;
  helper.send("select");
  ASSERT_TRUE(overlayUp()) << helper.reply(1s).dump();
  ASSERT_TRUE(key(1, "down") && key(1, "up"));  // KEY_ESC
  EXPECT_EQ(helper.reply(20s), (Json{{"ok", true}, {"canceled", true}}));
  EXPECT_EQ(page.counts().keys, keysBefore);
  ASSERT_TRUE(waitUntil(
      [&] { return patternMismatches(area(x0, y0, w, h), w, h, 100, 80, kSeed) == 0; }, 30s));
  helper.send("select");
  ASSERT_TRUE(overlayUp()) << helper.reply(1s).dump();
  ASSERT_TRUE(move(x0, y0) && press("down") && move(x0 + w / 2, y0 + h / 2) &&
              move(x0 + w, y0 + h) && press("up"));
  const Json selected = helper.reply(20s);
  ASSERT_EQ(ok(selected), true) << selected.dump();
  EXPECT_EQ(selected["region"], (Json{{"x", x0}, {"y", y0}, {"width", w}, {"height", h}}));
  // The pointer, which KWin draws into its pictures, away from the region: on the other output.
  ASSERT_TRUE(move(2500, 790));

  std::vector<std::uint8_t> frame;
  auto capture = [&] { return helper.capture(frame); };
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

  // Another application's window opens and takes the focus; "activate" brings the target back.
  auto other = std::make_unique<InputCounter>(rig->spawn(InputCounter::arguments(1)));
  ASSERT_TRUE(other->ready());
  ASSERT_TRUE(waitUntil([&] { return other->focused(); }));
  EXPECT_TRUE(waitUntil([&] { return error(capture()) == kLostFocus; }));
  EXPECT_EQ(ok(helper.request("activate")), true);
  EXPECT_TRUE(waitUntil([&] { return page.focused(); }));
  EXPECT_TRUE(pageComes(h / 2)) << notYet;

  // Kept above the others over a corner of the region, it covers the focused target.
  const Json cover = windows.windowOf(other->pid());
  ASSERT_TRUE(cover.is_object());
  ASSERT_TRUE(windows.place(cover["number"].get<int>(), x0 + w - 50, y0 + h - 50, 200, 200, true));
  EXPECT_TRUE(waitUntil([&] { return error(capture()) == kCovered; }));
  other.reset();
  EXPECT_TRUE(pageComes(h / 2)) << notYet;

  // The target moved or resized stops the capture; back at its place and size, it goes on.
  const int target = placed["number"].get<int>();
  const int ww = placed["width"].get<int>(), wh = placed["height"].get<int>();
  ASSERT_TRUE(windows.place(target, wx + 10, wy, ww, wh));
  EXPECT_TRUE(waitUntil([&] { return error(capture()) == kMoved; }));
  ASSERT_TRUE(windows.place(target, wx, wy, ww, wh));
  EXPECT_TRUE(pageComes(h / 2)) << notYet;
  ASSERT_TRUE(windows.place(target, wx, wy, ww + 1, wh));
  EXPECT_TRUE(waitUntil([&] { return error(capture()) == kMoved; }));
  ASSERT_TRUE(windows.place(target, wx, wy, ww, wh));
  EXPECT_TRUE(pageComes(h / 2)) << notYet;

  ::kill(page.pid(), SIGKILL);
  EXPECT_TRUE(waitUntil([&] { return error(capture()) == kMoved; }));
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  EXPECT_EQ(helper.process().wait(10s), 0);
}

TEST(KdeScrollHelper, HelperFromTheBuildTreeIsToldWhatToInstallAndKilledLeavesNoScript) {
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
  // Its window list runs all the same. Killed outright, the helper cannot unload the list's
  // script: the script unloads itself at the next window change.
  const std::string script = "orvel-window-list-" + std::to_string(helper.pid());
  ASSERT_TRUE(waitUntil([&] { return kwinScriptLoaded(*rig, script); }, 20s));
  ASSERT_EQ(::kill(helper.pid(), SIGKILL), 0);
  ASSERT_TRUE(helper.process().wait(10s));
  InputCounter window(rig->spawn(InputCounter::arguments(1)));
  ASSERT_TRUE(window.ready());
  EXPECT_TRUE(waitUntil([&] { return !kwinScriptLoaded(*rig, script); }, 20s));
}

}  // namespace
}  // namespace orvel::kdetest
