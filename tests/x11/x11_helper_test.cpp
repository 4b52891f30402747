// scroll-capture-helper as the host runs it, on an Xvfb desktop: selection dragged through XTest,
// frames checked against the test window's pattern, the target check, wheel scrolling, grabs, and
// the ends of the process.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "content_bounds.h"
#include "orvel/common/clock.h"
#include "orvel/common/json_text.h"
#include "platform/x11/x11_key_state.h"
#include "platform/x11/x11_screens.h"
#include "platform/x11/x11_window_server.h"
#include "platform/x11/x11_window_shapes.h"
#include "platform/x11/x11_workspace.h"
#include "scroll_helper_process.h"
#include "test_pattern.h"
#include "xvfb_rig.h"

namespace orvel::x11test {
namespace {

using namespace std::chrono_literals;

// The helper on the rig's display.
class Helper : public ScrollHelperProcess {
 public:
  explicit Helper(const std::string& display) : ScrollHelperProcess({{"DISPLAY", display}}) {}
};

// Whether the helper has its selection overlay up: windows of its own at the overlay level.
bool overlayUp(XvfbRig& rig, pid_t helper) {
  x11::X11Screens screens(rig.connection());
  x11::X11WindowServer server(rig.connection(), screens);
  for (const auto& w : server.onScreenWindows()) {
    if (w.value(platform::kCGWindowOwnerPID, 0) == helper &&
        w.value(platform::kCGWindowLayer, 0) == 1000) {
      return true;
    }
  }
  return false;
}

// Drags over root pixels (x0, y0) to (x1, y1) on the helper's selection overlay; its reply.
Json dragSelection(XvfbRig& rig, Helper& helper, int x0, int y0, int x1, int y1) {
  helper.send("select");
  if (!waitUntil([&] { return overlayUp(rig, helper.pid()); })) return Json();
  EXPECT_TRUE(waitUntil([&] { return rig.pointerGrabbedElsewhere(); }));
  rig.drag(x0, y0, x1, y1);
  return helper.reply();
}

// A "capture" request's reply; the frame that follows it is read and dropped.
Json captureReply(Helper& helper) {
  Json reply = helper.request("capture");
  if (ok(reply)) helper.payload(reply["length"].get<std::size_t>());
  return reply;
}

int patternMismatches(const std::vector<std::uint8_t>& frame, int width, int height, int px, int py,
                      int seed) {
  int bad = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      std::uint32_t v;
      std::memcpy(&v, frame.data() + (static_cast<std::size_t>(y) * width + x) * 4, 4);
      bad += v != patternPixel(px + x, py + y, seed);
    }
  }
  return bad;
}

constexpr const char* kMoved = "Target window moved, resized or closed; capture stopped.";
constexpr const char* kCovered = "Another window covers the capture region; capture stopped.";

class X11HelperTest : public ::testing::TestWithParam<bool> {};

TEST_P(X11HelperTest, SelectCaptureScrollAndEveryTargetCheck) {
  RigOptions options;
  options.windowManager = GetParam();
  START_RIG(rig, options);
  auto target = rig->openWindow(
      {.title = "Long page", .x = 150, .y = 60, .width = 700, .height = 760, .seed = 6});
  ASSERT_TRUE(target);
  // A window of the host (the helper's parent is this test), on top of part of the region.
  XvfbRig::WindowSpec hostSpec = XvfbRig::hostWindow(250, 250, 150, 150);
  hostSpec.overrideRedirect = true;
  auto host = rig->openWindow(hostSpec);
  ASSERT_TRUE(host);
  Helper helper(rig->display());
  ASSERT_TRUE(helper.running());

  const auto origin = rig->contentOrigin(target->window());
  ASSERT_TRUE(origin);
  const int x0 = origin->first + 100, y0 = origin->second + 100;
  Json selected = dragSelection(*rig, helper, x0, y0, x0 + 400, y0 + 600);
  ASSERT_EQ(ok(selected), true) << selected.dump();
  EXPECT_EQ(selected["region"], (Json{{"x", x0}, {"y", y0}, {"width", 400}, {"height", 600}}));
  EXPECT_EQ(selected["width"], 400);
  EXPECT_EQ(selected["height"], 600);
  EXPECT_EQ(selected["scale"], 1.0);
  EXPECT_TRUE(waitUntil([&] { return !rig->pointerGrabbedElsewhere(); }));
  // The host's window meets the region: windows stay redirected for the target's life.
  EXPECT_TRUE(rig->redirected(host->window()));
  host->command("raise");

  // The frame is the target's pattern, byte for byte, without the host's window.
  // A capture's reply, and whether its frame is the target's pattern (at region offset 100, 100),
  // byte for byte, without the host's window.
  struct Capture {
    Json reply;
    bool exact = false;
  };
  auto captureFrame = [&] {
    Capture c{helper.request("capture")};
    if (ok(c.reply)) {
      auto frame = helper.payload(c.reply["length"].get<std::size_t>());
      c.exact = patternMismatches(frame, 400, 600, 100, 100, 6) == 0;
    }
    return c;
  };
  auto capture = [&] { return captureFrame().reply; };
  // An application repaints some time after a change: wait for a frame that shows it whole.
  auto exactFrameComes = [&] {
    return waitUntil([&] {
      auto c = captureFrame();
      return ok(c.reply) && c.exact;
    });
  };
  Capture first = captureFrame();
  ASSERT_EQ(ok(first.reply), true) << first.reply.dump();
  EXPECT_EQ(first.reply["length"], 400 * 600 * 4);
  EXPECT_TRUE(first.exact);

  Json scrolled = helper.request("scroll", ",\"fraction\":0.5");
  EXPECT_EQ(ok(scrolled), true) << scrolled.dump();
  // The wheel clicks one at a time, each click's move measured: a view that does not move gets one.
  EXPECT_EQ(target->clicks().second, 1);

  target->command("title Another page");
  EXPECT_EQ(error(capture()),
            "Target window content changed; capture stopped. Keep the selected page open.");
  target->command("title Long page");
  EXPECT_TRUE(captureFrame().exact);

  rig->key(x11::kEscapeKeysym, true);
  EXPECT_EQ(error(capture()), "Escape pressed; capture stopped.");
  rig->key(x11::kEscapeKeysym, false);

  auto cover = rig->openWindow(
      {.x = x0 + 300, .y = y0 + 300, .width = 200, .height = 200, .overrideRedirect = true});
  ASSERT_TRUE(cover);
  EXPECT_EQ(error(capture()), "Another window covers the capture region; capture stopped.");
  cover->quit();
  EXPECT_TRUE(exactFrameComes());

  auto other = rig->openWindow({.title = "Other", .x = 900, .y = 100, .width = 200, .height = 200});
  ASSERT_TRUE(other);
  x11::X11Workspace workspace(rig->connection());
  workspace.activate(other->pid(), other->window());
  ASSERT_TRUE(waitUntil([&] { return workspace.frontmostPID() == other->pid(); }));
  EXPECT_EQ(error(capture()), "Target lost focus; capture stopped.");
  EXPECT_EQ(ok(helper.request("activate")), true);
  EXPECT_TRUE(exactFrameComes());

  // A second window of the target's own process, focused and in front of the region: "activate"
  // brings the target window forward, not the process's front-most one.
  auto sibling = rig->openWindow({.title = "Sibling",
                                  .x = x0 + 50,
                                  .y = y0 + 50,
                                  .width = 200,
                                  .height = 200,
                                  .seed = 3,
                                  .pid = target->pid()});
  ASSERT_TRUE(sibling);
  workspace.activate(target->pid(), sibling->window());
  ASSERT_TRUE(waitUntil([&] { return workspace.frontmostWindow() == sibling->window(); }));
  EXPECT_EQ(workspace.frontmostPID(), target->pid());
  EXPECT_TRUE(waitUntil([&] { return error(capture()) == kCovered; }));
  EXPECT_EQ(ok(helper.request("activate")), true);
  // openbox may report no active window for a moment while the focus moves on.
  EXPECT_TRUE(waitUntil([&] { return workspace.frontmostWindow() == target->window(); }));
  EXPECT_TRUE(exactFrameComes());
  sibling->quit();

  target->command("resize 701 760");
  EXPECT_TRUE(waitUntil([&] { return error(capture()) == kMoved; }));
  target->command("resize 700 760");
  EXPECT_TRUE(exactFrameComes());

  // A burst of 12 line clicks stops at the first check after the window moved.
  EXPECT_EQ(helper.request("fallback")["switched"], true);
  const int before = target->clicks().second;
  helper.send("scroll", ",\"fraction\":0.8");
  // Once the burst has begun the helper is held while the window moves, so that the move lands
  // between two of its events however busy the machine is.
  ASSERT_TRUE(waitUntil([&] { return target->clicks().second > before; }));
  ::kill(helper.pid(), SIGSTOP);
  target->command("move 160 70");
  ::kill(helper.pid(), SIGCONT);
  EXPECT_EQ(error(helper.reply()), kMoved);
  const int during = target->clicks().second - before;
  EXPECT_GT(during, 0);
  EXPECT_LT(during, 12);

  target->quit();
  EXPECT_EQ(error(capture()), kMoved);
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  EXPECT_EQ(helper.process().wait(5s), 0);
  EXPECT_TRUE(waitUntil([&] { return !rig->redirected(host->window()); }));
}

// The page row at the top of a frame of a scrolling test window (region columns from `left`),
// or -1.
int pageRowAtTop(const std::vector<std::uint8_t>& frame, int width, int left, int seed, int rows) {
  for (int row = 0; row < rows; ++row) {
    bool same = true;
    for (int x = 0; x < width && same; ++x) {
      std::uint32_t v;
      std::memcpy(&v, frame.data() + static_cast<std::size_t>(x) * 4, 4);
      same = v == patternPixel(left + x, row, seed);
    }
    if (same) return row;
  }
  return -1;
}

// Views that move 40, 90 and 13 pixels a wheel click: each "scroll" moves the content by the
// fraction asked of the region's height within 10 %, and never by more than the region less a
// click. (Fractions whose distance is under a few clicks land on the nearest click instead.)
TEST(X11MeasuredScroll, MovesTheAskedFractionWhateverAClickMoves) {
  START_RIG(rig, RigOptions{});
  for (const int click : {40, 90, 13}) {
    auto target = rig->openWindow({.title = "Scrolling page",
                                   .x = 100,
                                   .y = 50,
                                   .width = 500,
                                   .height = 640,
                                   .seed = 3,
                                   .page = 8000,
                                   .click = click});
    ASSERT_TRUE(target);
    Helper helper(rig->display());
    const auto origin = rig->contentOrigin(target->window());
    ASSERT_TRUE(origin);
    // Region rows 20 to 619 of the window: 600 pixels.
    const Json selected = dragSelection(*rig, helper, origin->first + 50, origin->second + 20,
                                        origin->first + 450, origin->second + 620);
    ASSERT_EQ(ok(selected), true) << selected.dump();
    auto top = [&] {
      const Json reply = helper.request("capture");
      if (!ok(reply)) return -1;
      return pageRowAtTop(helper.payload(reply["length"].get<std::size_t>()), 400, 50, 3, 8000);
    };
    int before = top();
    ASSERT_EQ(before, 20);
    for (const double fraction : {0.45, 0.65, 0.8, 0.45}) {
      ASSERT_EQ(ok(helper.request("scroll", ",\"fraction\":" + std::to_string(fraction))), true);
      const int after = top();
      const double asked = fraction * 600;
      EXPECT_NEAR(after - before, asked, asked * 0.1)
          << "click " << click << " fraction " << fraction;
      EXPECT_LE(after - before, 600 - click) << "click " << click;
      before = after;
    }
    EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  }
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutWindowManager, X11HelperTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "openbox" : "bare"; });

// A page, and a dock and a notification popup whose frames meet the region 150,150 400x300 of it
// while what they draw (shaped by the tests) lies beside it.
const XvfbRig::WindowSpec kPage{
    .title = "Page", .x = 100, .y = 100, .width = 600, .height = 500, .seed = 6};
const XvfbRig::WindowSpec kDock{
    .title = "Dock", .x = 0, .y = 400, .width = 800, .height = 200, .type = "DOCK"};
const XvfbRig::WindowSpec kPopup{.title = "Popup",
                                 .x = 500,
                                 .y = 100,
                                 .width = 300,
                                 .height = 150,
                                 .seed = 2,
                                 .type = "NOTIFICATION"};

TEST(X11Helper, DocksAndNotificationsCoverTheRegionOnlyWhereTheirShapeIs) {
  START_RIG(rig, RigOptions{});
  auto target = rig->openWindow(kPage);
  ASSERT_TRUE(target);
  auto dock = rig->openWindow(kDock);
  auto popup = rig->openWindow(kPopup);
  ASSERT_TRUE(dock && popup);
  dock->command("shape 0 150 800 50");
  popup->command("shape 200 0 100 100");
  Helper helper(rig->display());
  ASSERT_TRUE(helper.running());
  Json selected = dragSelection(*rig, helper, 150, 150, 550, 450);
  ASSERT_EQ(ok(selected), true) << selected.dump();
  // Activation raised the target; without a window manager nothing keeps docks above it.
  dock->command("raise");
  popup->command("raise");
  auto capture = [&] { return captureReply(helper); };
  EXPECT_EQ(ok(capture()), true) << "neither draws on the region";

  dock->command("shape 0 20 800 50");
  EXPECT_EQ(error(capture()), kCovered);
  dock->command("shape none");
  EXPECT_EQ(error(capture()), kCovered) << "without a shape the frame counts";
  dock->command("shape 0 150 800 50");
  EXPECT_EQ(ok(capture()), true);

  // A popup's content counts with a margin of 16 points around it.
  popup->command("shape 65 0 100 100");
  EXPECT_EQ(error(capture()), kCovered);
  popup->command("shape 66 0 100 100");
  EXPECT_EQ(ok(capture()), true);
  popup->command("shape none");
  EXPECT_EQ(error(capture()), kCovered);
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  EXPECT_EQ(helper.process().wait(5s), 0);
}

// Docks and notification daemons often start after the helper read their owners (a daemon on the
// first notification, a panel that restarts): their windows are recognised all the same.
TEST(X11Helper, DocksAndNotificationHostsOpenedAfterTheSelectionCoverOnlyWhereTheyDraw) {
  START_RIG(rig, RigOptions{});
  auto target = rig->openWindow(kPage);
  ASSERT_TRUE(target);
  Helper helper(rig->display());
  ASSERT_TRUE(helper.running());
  Json selected = dragSelection(*rig, helper, 150, 150, 550, 450);
  ASSERT_EQ(ok(selected), true) << selected.dump();
  auto capture = [&] { return captureReply(helper); };
  ASSERT_EQ(ok(capture()), true);

  auto dock = rig->openWindow(kDock);
  ASSERT_TRUE(dock);
  dock->command("shape 0 150 800 50");
  dock->command("raise");
  EXPECT_EQ(ok(capture()), true) << "the dock draws below the region";
  dock->command("shape 0 20 800 50");
  EXPECT_EQ(error(capture()), kCovered);
  dock->command("shape 0 150 800 50");

  auto popup = rig->openWindow(kPopup);
  ASSERT_TRUE(popup);
  popup->command("shape 200 0 100 100");
  popup->command("raise");
  EXPECT_EQ(ok(capture()), true) << "the popup draws beside the region";
  popup->command("shape none");
  EXPECT_EQ(error(capture()), kCovered);
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  EXPECT_EQ(helper.process().wait(5s), 0);
}

bool onPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  for (std::size_t start = 0; start <= dirs.size();) {
    const std::size_t end = std::min(dirs.find(':', start), dirs.size());
    if (::access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Debian's plank and dunst (a notification from notify-send, on a session bus of the test's own).
TEST(X11DockAndNotification, PlankIsADockAndDunstsPopupANotificationHostReadByShape) {
  for (const char* program : {"plank", "dunst", "notify-send", "dbus-run-session"}) {
    if (!onPath(program)) GTEST_SKIP() << program << " is not installed (tools/install-deps)";
  }
  START_RIG(rig, RigOptions{});
  ChildProcess::Options o;
  o.environment["DISPLAY"] = rig->display();
  o.pipeStdout = false;
  auto plank = ChildProcess::start({"plank"}, o);
  // The bus starts dunst for the notification; the shell then waits for its input to close.
  auto session = ChildProcess::start(
      {"dbus-run-session", "--", "sh", "-c", "notify-send -t 0 Orvel 'A test popup' && read x"}, o);
  ASSERT_TRUE(plank && session);
  // Ending the shell ends its bus, and the bus the dunst it started.
  struct EndSession {
    ChildProcess& shell;
    ~EndSession() {
      shell.closeStdin();
      shell.wait(5s);
    }
  } endSession{*session};

  x11::X11Screens screens(rig->connection());
  x11::X11WindowServer server(rig->connection(), screens);
  x11::X11WindowShapes shapes(rig->connection(), screens);
  ManualClock clock;
  scroll::ShapeContentBounds reader(shapes, server, clock);
  scroll::ContentOwners owners;
  ASSERT_TRUE(waitUntil(
      [&] {
        owners = reader.owners();
        return owners.dockPIDs.count(plank->pid()) && !owners.notificationPIDs.empty();
      },
      20s))
      << "plank's dock and dunst's popup are listed at their levels";
  const scroll::ScrollWindowPolicy policy({::getpid()}, owners.dockPIDs, owners.notificationPIDs,
                                          x11::kCursorLevel, x11::kDockLevel);
  const Json list = server.onScreenWindows();
  std::vector<scroll::ScrollWindowInfo> infos;
  for (const auto& d : list) {
    if (auto info = scroll::ScrollWindowInfo::make(d)) infos.push_back(*info);
  }
  auto find = [&](std::int64_t level) {
    return *std::find_if(infos.begin(), infos.end(),
                         [&](const auto& w) { return w.layer == level; });
  };
  const scroll::ScrollWindowInfo dock = find(x11::kDockLevel);
  const scroll::ScrollWindowInfo popup = find(x11::kNotificationLevel);

  // dunst shapes its popup: its content is read, within the frame.
  auto drawn = shapes.contentShape(popup.id);
  ASSERT_TRUE(drawn);
  for (const Rect& r : *drawn)
    EXPECT_TRUE(popup.bounds.contains(r)) << r.x << "," << r.y;
  const auto notes = reader.notificationContentBounds(list, popup.bounds, 0, policy);
  ASSERT_TRUE(notes.count(popup.id));
  EXPECT_FALSE(notes.at(popup.id).empty());

  // plank's dock, shaped or not, covers a region on it and nothing a little above it.
  const auto docks = reader.dockContentBounds(list, policy);
  ASSERT_TRUE(docks);
  for (const Rect& r : *docks)
    EXPECT_TRUE(dock.bounds.contains(r));
  std::printf("plank %s\n", shapes.contentShape(dock.id) ? "sets a shape" : "sets no shape");
  const Rect above{dock.bounds.x, dock.bounds.y - 40, dock.bounds.width, 30};
  auto occluder = [&](const Rect& region) {
    auto w = policy.occluder(infos, 0, region, docks, notes);
    return w ? std::optional<std::uint32_t>(w->id) : std::nullopt;
  };
  EXPECT_EQ(occluder(dock.bounds), dock.id);
  EXPECT_EQ(occluder(above), std::nullopt);
  EXPECT_EQ(occluder(popup.bounds), popup.id);
}

TEST(X11Helper, RegionEscapeOwnWindowsAndEndOfInputReleaseTheGrabs) {
  START_RIG(rig, RigOptions::twoMonitors());
  Helper helper(rig->display());
  ASSERT_TRUE(helper.running());

  // A plain region, dragged across both monitors.
  helper.send("region");
  ASSERT_TRUE(waitUntil([&] { return overlayUp(*rig, helper.pid()); }));
  rig->drag(700, 100, 900, 300);
  EXPECT_EQ(
      helper.reply(),
      (Json{{"ok", true}, {"region", {{"x", 700}, {"y", 100}, {"width", 200}, {"height", 200}}}}));
  EXPECT_TRUE(waitUntil([&] { return !rig->pointerGrabbedElsewhere(); }));

  helper.send("region");
  ASSERT_TRUE(waitUntil([&] { return rig->pointerGrabbedElsewhere(); }));
  rig->key(x11::kEscapeKeysym, true);
  rig->key(x11::kEscapeKeysym, false);
  EXPECT_EQ(helper.reply(), (Json{{"ok", true}, {"canceled", true}}));
  EXPECT_TRUE(waitUntil([&] { return !rig->pointerGrabbedElsewhere(); }));

  // The host's own window is never a target.
  auto host = rig->openWindow(
      {.title = "Host", .x = 100, .y = 100, .width = 500, .height = 400, .pid = ::getpid()});
  ASSERT_TRUE(host);
  helper.send("select");
  ASSERT_TRUE(waitUntil([&] { return overlayUp(*rig, helper.pid()); }));
  rig->drag(150, 150, 400, 400);
  EXPECT_EQ(error(helper.reply()),
            "Select scrolling content entirely inside a visible application window.");

  // End of input while the overlay is up: the helper ends and the grabs go with it.
  helper.send("select");
  ASSERT_TRUE(waitUntil([&] { return overlayUp(*rig, helper.pid()); }));
  EXPECT_TRUE(waitUntil([&] { return rig->pointerGrabbedElsewhere(); }));
  helper.process().closeStdin();
  EXPECT_EQ(helper.process().wait(5s), 0);
  EXPECT_TRUE(waitUntil([&] { return !rig->pointerGrabbedElsewhere(); }));
}

TEST(X11Helper, AtScaleTwoRegionsAreInPointsAndFramesInPixels) {
  START_RIG(rig, RigOptions{});
  const std::string resources = "Xft.dpi:\t192\n";
  xcb_change_property(rig->connection().get(), XCB_PROP_MODE_REPLACE, rig->connection().root(),
                      XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 8,
                      static_cast<std::uint32_t>(resources.size()), resources.data());
  rig->sync();
  auto target = rig->openWindow(
      {.title = "Dense page", .x = 100, .y = 60, .width = 800, .height = 700, .seed = 4});
  ASSERT_TRUE(target);
  Helper helper(rig->display());
  ASSERT_TRUE(helper.running());

  const auto origin = rig->contentOrigin(target->window());
  ASSERT_TRUE(origin);
  const int x0 = origin->first + 100, y0 = origin->second + 100;
  ASSERT_TRUE(x0 % 2 == 0 && y0 % 2 == 0);
  const Json selected = dragSelection(*rig, helper, x0, y0, x0 + 400, y0 + 300);
  ASSERT_EQ(ok(selected), true) << selected.dump();
  EXPECT_EQ(selected["region"],
            (Json{{"x", x0 / 2}, {"y", y0 / 2}, {"width", 200}, {"height", 150}}));
  EXPECT_EQ(selected["scale"], 2.0);
  EXPECT_EQ(selected["width"], 400);
  EXPECT_EQ(selected["height"], 300);

  const Json captured = helper.request("capture");
  ASSERT_EQ(ok(captured), true) << captured.dump();
  ASSERT_EQ(captured["length"], 400 * 300 * 4);
  EXPECT_EQ(patternMismatches(helper.payload(400 * 300 * 4), 400, 300, 100, 100, 4), 0);
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  EXPECT_EQ(helper.process().wait(5s), 0);
}

TEST(X11Helper, ALostDisplayEndsTheSelectionAndFailsLaterCommands) {
  START_RIG(rig, RigOptions{});
  Helper helper(rig->display());
  ASSERT_TRUE(helper.running());
  helper.send("select");
  ASSERT_TRUE(waitUntil([&] { return overlayUp(*rig, helper.pid()); }));
  rig->killServer();
  expectLostDesktopAnswers(helper);
}

}  // namespace
}  // namespace orvel::x11test
