// The X11 ports against a real X server: monitors, the window list, applications, focus, keys and
// wheel clicks, with and without a window manager.
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>

#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_key_state.h"
#include "platform/x11/x11_overlay.h"
#include "platform/x11/x11_reply.h"
#include "platform/x11/x11_screens.h"
#include "platform/x11/x11_scroll_events.h"
#include "platform/x11/x11_window_server.h"
#include "platform/x11/x11_workspace.h"
#include "xvfb_rig.h"

namespace orvel::x11test {
namespace {

using namespace std::chrono_literals;
using platform::kCGWindowBounds;
using platform::kCGWindowLayer;
using platform::kCGWindowName;
using platform::kCGWindowNumber;
using platform::kCGWindowOwnerPID;

Rect boundsOf(const Json& w) {
  const Json& b = w.at(kCGWindowBounds);
  return {b.at("X").get<double>(), b.at("Y").get<double>(), b.at("Width").get<double>(),
          b.at("Height").get<double>()};
}

const Json* find(const Json& list, unsigned id) {
  for (const auto& w : list) {
    if (w.at(kCGWindowNumber).get<unsigned>() == id) return &w;
  }
  return nullptr;
}

int indexOf(const Json& list, unsigned id) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].at(kCGWindowNumber).get<unsigned>() == id) return static_cast<int>(i);
  }
  return -1;
}

TEST(X11Screens, MonitorsMapToScreensAndGlobalCoordinatesAroundTheMainDisplay) {
  RigOptions options;
  options.width = 2304;
  options.height = 800;
  // Mixed sizes, the primary monitor on the right: global coordinates start at its corner.
  options.monitors = {{0, 0, 1024, 600}, {1024, 0, 1280, 800}};
  options.primary = 1;
  START_RIG(rig, options);
  x11::X11Screens screens(rig->connection());
  auto list = screens.screens();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].frame, (Rect{0, 0, 1280, 800}));
  EXPECT_EQ(list[1].frame, (Rect{-1024, 200, 1024, 600}));
  EXPECT_EQ(list[0].backingScale, 1.0);
  ASSERT_TRUE(list[0].displayID && list[1].displayID);
  EXPECT_NE(*list[0].displayID, *list[1].displayID);
  EXPECT_EQ(screens.displayBounds(*list[0].displayID), (Rect{0, 0, 1280, 800}));
  EXPECT_EQ(screens.displayBounds(*list[1].displayID), (Rect{-1024, 0, 1024, 600}));
  EXPECT_FALSE(screens.displayBounds(12345));

  // Xft.dpi sets the backing scale; sizes in points shrink accordingly.
  const std::string resources = "Xft.antialias:\t1\nXft.dpi:\t144\n";
  xcb_change_property(rig->connection().get(), XCB_PROP_MODE_REPLACE, rig->connection().root(),
                      XCB_ATOM_RESOURCE_MANAGER, XCB_ATOM_STRING, 8,
                      static_cast<std::uint32_t>(resources.size()), resources.data());
  rig->sync();
  screens.invalidate();
  list = screens.screens();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].backingScale, 1.5);
  EXPECT_EQ(screens.displayBounds(*list[1].displayID), (Rect{-1024 / 1.5, 0, 1024 / 1.5, 400}));
}

TEST(X11Screens, WithoutAPrimaryTheMonitorAtTheOriginIsMain) {
  RigOptions options;
  options.width = 2560;
  options.height = 1080;
  options.monitors = {{1280, 0, 1280, 1080}, {0, 0, 1280, 1080}};
  options.primary = -1;
  START_RIG(rig, options);
  x11::X11Screens screens(rig->connection());
  auto list = screens.screens();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0].frame, (Rect{0, 0, 1280, 1080}));
  EXPECT_EQ(list[1].frame, (Rect{1280, 0, 1280, 1080}));
}

class X11WindowsTest : public ::testing::TestWithParam<bool> {};

TEST_P(X11WindowsTest, ListOrderFramesTitlesOwnersFocusAndActivation) {
  RigOptions options;
  options.windowManager = GetParam();
  START_RIG(rig, options);
  x11::X11Connection& c = rig->connection();
  x11::X11Screens screens(c);
  x11::X11WindowServer server(c, screens);
  x11::X11Workspace workspace(c);

  auto a =
      rig->openWindow({.title = "Alpha \xC3\xBC", .x = 100, .y = 120, .width = 400, .height = 300});
  auto b = rig->openWindow(
      {.title = "Beta", .x = 300, .y = 200, .width = 300, .height = 200, .seed = 2});
  ASSERT_TRUE(a && b);
  if (GetParam()) {
    // openbox focuses each window it maps, and says so in _NET_ACTIVE_WINDOW once the focus has
    // moved: until then the focus change asked for below could be overtaken by b's.
    ASSERT_TRUE(waitUntil([&] { return workspace.frontmostWindow() == b->window(); }));
  }

  Json list;
  ASSERT_TRUE(waitUntil([&] {
    list = server.onScreenWindows();
    return find(list, a->window()) && find(list, b->window());
  }));
  const Json& wa = *find(list, a->window());
  EXPECT_EQ(wa.at(kCGWindowOwnerPID).get<int>(), a->pid());
  EXPECT_EQ(wa.at(kCGWindowName).get<std::string>(), "Alpha \xC3\xBC");
  EXPECT_EQ(wa.at(kCGWindowLayer).get<int>(), 0);
  const auto origin = rig->contentOrigin(a->window());
  ASSERT_TRUE(origin);
  const Rect content{double(origin->first), double(origin->second), 400, 300};
  if (GetParam()) {
    // The frame holds the decoration around the content.
    EXPECT_TRUE(boundsOf(wa).contains(content));
    EXPECT_GT(boundsOf(wa).height, 300);
  } else {
    EXPECT_EQ(boundsOf(wa), (Rect{100, 120, 400, 300}));
  }
  // Front to back: the later window is in front until the first is raised.
  EXPECT_LT(indexOf(list, b->window()), indexOf(list, a->window()));
  workspace.activate(a->pid(), a->window());
  ASSERT_TRUE(waitUntil([&] { return workspace.frontmostPID() == a->pid(); }));
  EXPECT_EQ(workspace.frontmostWindow(), a->window());
  ASSERT_TRUE(waitUntil([&] {
    list = server.onScreenWindows();
    return indexOf(list, a->window()) < indexOf(list, b->window());
  }));
  workspace.activate(b->pid(), b->window());
  EXPECT_TRUE(waitUntil([&] { return workspace.frontmostWindow() == b->window(); }));
  EXPECT_EQ(workspace.frontmostPID(), b->pid());

  // An override-redirect window lies in front of everything, at the pop-up level.
  auto popup =
      rig->openWindow({.x = 50, .y = 50, .width = 100, .height = 100, .overrideRedirect = true});
  ASSERT_TRUE(popup);
  list = server.onScreenWindows();
  ASSERT_TRUE(find(list, popup->window()));
  EXPECT_EQ(indexOf(list, popup->window()), 0);
  EXPECT_EQ(find(list, popup->window())->at(kCGWindowLayer).get<int>(), 101);

  // The whole list costs the same round trips for 3 windows as for 43.
  const auto before = c.roundTrips();
  server.onScreenWindows();
  const auto few = c.roundTrips() - before;
  auto clutter = rig->openWindow({.x = 500, .y = 400, .width = 100, .height = 100, .extra = 40});
  ASSERT_TRUE(clutter);
  ASSERT_TRUE(waitUntil([&] { return server.onScreenWindows().size() >= 44; }));
  const auto middle = c.roundTrips();
  server.onScreenWindows();
  EXPECT_EQ(c.roundTrips() - middle, few);

  // Applications: running, identified by their executable; a closed window leaves the list.
  auto app = workspace.application(a->pid());
  ASSERT_TRUE(app);
  EXPECT_FALSE(app->terminated);
  ASSERT_TRUE(app->bundleID);
  EXPECT_NE(app->bundleID->find("orvel_x11_test_window"), std::string::npos);
  EXPECT_EQ(workspace.application(b->pid())->bundleID, app->bundleID);
  const unsigned gone = a->window();
  const pid_t gonePid = a->pid();
  a->quit();
  EXPECT_TRUE(waitUntil([&] { return !find(server.onScreenWindows(), gone); }));
  EXPECT_FALSE(workspace.application(gonePid));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutWindowManager, X11WindowsTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "openbox" : "bare"; });

TEST(X11Desktop, ALostServerLeavesNoSocketWatchedAndEveryPortAnswering) {
  START_RIG(rig, RigOptions{});
  SteadyClock clock;
  EventLoop loop(clock);
  x11::X11Desktop desktop(loop, rig->display().c_str());
  ASSERT_TRUE(desktop.connected());
  EXPECT_GE(loop.watchCount(), 2u);  // the main connection and the window list's
  EXPECT_TRUE(desktop.windowServer().onScreenWindows().is_array());
  rig->killServer();
  // A hung-up socket left in the poll set would wake the loop for ever.
  EXPECT_TRUE(waitUntil([&] {
    loop.runUntilIdle();
    return loop.watchCount() == 0;
  }));
  EXPECT_FALSE(desktop.permissions().screenCaptureAllowed());
  EXPECT_FALSE(desktop.windowServer().onScreenWindows().is_array());
  EXPECT_FALSE(desktop.workspace().frontmostPID());
  EXPECT_FALSE(desktop.capture().shareableContent(true, true));
}

TEST(X11Input, PermissionsEscapeAndWheelClicksAtTheEventLocation) {
  START_RIG(rig, RigOptions{});
  x11::X11Connection& c = rig->connection();
  x11::X11Permissions permissions(&c);
  EXPECT_TRUE(permissions.screenCaptureAllowed());
  EXPECT_TRUE(permissions.postEventAllowed());
  x11::X11Permissions none(nullptr);
  EXPECT_FALSE(none.screenCaptureAllowed());
  EXPECT_FALSE(none.postEventAllowed());

  x11::X11KeyState keys(c);
  EXPECT_FALSE(keys.isKeyDown(platform::kEscapeKeyCode));
  rig->key(x11::kEscapeKeysym, true);
  EXPECT_TRUE(keys.isKeyDown(platform::kEscapeKeyCode));
  EXPECT_FALSE(keys.isKeyDown(36));  // only Escape is mapped
  rig->key(x11::kEscapeKeysym, false);
  EXPECT_FALSE(keys.isKeyDown(platform::kEscapeKeyCode));

  auto w = rig->openWindow({.x = 200, .y = 200, .width = 300, .height = 300});
  ASSERT_TRUE(w);
  rig->movePointer(10, 20);
  x11::X11Screens screens(c);
  x11::X11ScrollEvents events(c, screens);
  ASSERT_TRUE(events.openSource());
  auto line = events.createScrollWheelEvent(platform::ScrollUnit::line, 1, -1, 0, 0);
  ASSERT_TRUE(line);
  line->location = {350, 350};
  events.post(*line);
  events.post(*line);
  line->delta1 = 1;
  events.post(*line);
  EXPECT_TRUE(waitUntil([&] { return w->clicks() == std::pair{1, 2}; }));
  // The pointer is back where the user left it.
  const x11::Reply<xcb_query_pointer_reply> pointer(c, xcb_query_pointer(c.get(), c.root()));
  ASSERT_TRUE(pointer);
  EXPECT_EQ(pointer->root_x, 10);
  EXPECT_EQ(pointer->root_y, 20);
  // A wheel event elsewhere does not reach the window.
  line->location = {50, 50};
  events.post(*line);
  rig->sync();
  EXPECT_EQ(w->clicks(), (std::pair{1, 2}));
}

TEST(X11ScrollEvents, PixelDeltasAddUpToWholeClicksAndRestartWhenTheDirectionTurns) {
  // Pure arithmetic: the connection is never used.
  START_RIG(rig, RigOptions{});
  x11::X11Screens screens(rig->connection());
  x11::X11ScrollEvents events(rig->connection(), screens);
  platform::ScrollWheelEvent e;
  e.unit = platform::ScrollUnit::pixel;
  e.delta1 = -83;  // three of these: 249 points, 5 clicks of 48
  int total = 0;
  for (int i = 0; i < 3; ++i)
    total += events.clicksFor(e);
  EXPECT_EQ(total, 5);
  e.delta1 = 40;  // the 9 points left over do not count against the other direction
  EXPECT_EQ(events.clicksFor(e), 0);
  EXPECT_EQ(events.clicksFor(e), -1);
  e.unit = platform::ScrollUnit::line;
  e.delta1 = -1;
  EXPECT_EQ(events.clicksFor(e), 1);
}

// A view that records what the overlay delivers.
class RecordingView : public platform::OverlayView {
 public:
  void mouseDown(Point p) override { events.push_back("down " + describe(Rect{p.x, p.y, 0, 0})); }
  void mouseDragged(Point) override { ++drags; }
  void mouseUp(Point p) override { events.push_back("up " + describe(Rect{p.x, p.y, 0, 0})); }
  void keyDown(std::uint16_t code) override { events.push_back("key " + std::to_string(code)); }
  int drags = 0;
  std::vector<std::string> events;
};

TEST(X11Overlay, PanelsTakeInputHoldGrabsAndReleaseThemWhenClosed) {
  START_RIG(rig, RigOptions::twoMonitors());
  SteadyClock clock;
  EventLoop loop(clock);
  x11::X11Desktop desktop(loop, rig->display().c_str());
  ASSERT_TRUE(desktop.connected());
  auto pump = [&](const std::function<bool()>& done) {
    const auto stop = clock.now() + 3s;
    while (!done() && clock.now() < stop) {
      loop.addTimer(5ms, [] {});
      loop.runUntil([] { return false; });
    }
    return done();
  };

  RecordingView left, right;
  auto screens = desktop.screens().screens();
  ASSERT_EQ(screens.size(), 2u);
  auto p0 = desktop.overlay().createPanel({screens[0].frame, 1000, false}, left);
  auto p1 = desktop.overlay().createPanel({screens[1].frame, 1000, false}, right);
  p0->show(true);
  p1->show(true);
  EXPECT_TRUE(desktop.x11Overlay()->holdsPointerGrab());
  EXPECT_TRUE(desktop.x11Overlay()->holdsKeyboardGrab());
  EXPECT_TRUE(rig->pointerGrabbedElsewhere());

  // The overlay windows are listed as this process's, at their level.
  auto overlays = [&] {
    int n = 0;
    for (const auto& w : desktop.windowServer().onScreenWindows()) {
      if (w.value(kCGWindowOwnerPID, 0) == ::getpid() && w.value(kCGWindowLayer, 0) == 1000) ++n;
    }
    return n;
  };
  ASSERT_TRUE(pump([&] { return overlays() == 2; }));

  // A drag from the left monitor into the right one: window coordinates have y up.
  rig->drag(100, 500, 900, 100);
  ASSERT_TRUE(pump([&] { return !right.events.empty(); }));
  ASSERT_EQ(left.events.size(), 1u);
  EXPECT_EQ(left.events[0], "down " + describe(Rect{100, 100, 0, 0}));
  EXPECT_EQ(right.events[0], "up " + describe(Rect{100, 500, 0, 0}));
  EXPECT_GT(left.drags + right.drags, 0);
  EXPECT_EQ(p1->convertToScreen({100, 500}), (Point{900, 500}));

  rig->key(x11::kEscapeKeysym, true);
  rig->key(x11::kEscapeKeysym, false);
  ASSERT_TRUE(pump([&] { return right.events.size() == 2; }));
  EXPECT_EQ(right.events[1], "key 53");

  p1->close();
  // The grab moves to the panel still open, and goes when it closes.
  EXPECT_TRUE(desktop.x11Overlay()->holdsPointerGrab());
  p0->close();
  EXPECT_FALSE(desktop.x11Overlay()->holdsPointerGrab());
  EXPECT_FALSE(rig->pointerGrabbedElsewhere());
}

TEST(X11Overlay, ARefusedGrabIsRetriedUntilTheOtherClientLetsGo) {
  START_RIG(rig, RigOptions{});
  SteadyClock clock;
  EventLoop loop(clock);
  x11::X11Desktop desktop(loop, rig->display().c_str());
  xcb_connection_t* c = rig->connection().get();
  // Someone else holds the keyboard, as a hotkey daemon might right after the hotkey.
  const x11::Reply<xcb_grab_keyboard_reply> held(
      rig->connection(), xcb_grab_keyboard(c, 0, rig->connection().root(), XCB_CURRENT_TIME,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  ASSERT_TRUE(held && held->status == XCB_GRAB_STATUS_SUCCESS);
  RecordingView view;
  auto panel =
      desktop.overlay().createPanel({desktop.screens().screens()[0].frame, 1000, false}, view);
  panel->show(true);
  EXPECT_TRUE(desktop.x11Overlay()->holdsPointerGrab());
  EXPECT_FALSE(desktop.x11Overlay()->holdsKeyboardGrab());
  loop.addTimer(100ms, [&] {
    xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
    rig->sync();
  });
  loop.addTimer(400ms, [] {});
  loop.runUntil([&] { return desktop.x11Overlay()->holdsKeyboardGrab(); });
  EXPECT_TRUE(desktop.x11Overlay()->holdsKeyboardGrab());
  panel.reset();
  EXPECT_FALSE(desktop.x11Overlay()->holdsKeyboardGrab());
}

}  // namespace
}  // namespace orvel::x11test
