// The window list from sway's IPC on a headless sway with real applications.
#include <gtest/gtest.h>

#include <functional>

#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "platform/wayland/sway_focus.h"
#include "platform/wayland/sway_window_list.h"
#include "platform/wayland/sway_window_server.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_screens.h"
#include "sway_rig.h"

namespace orvel::wayland {
namespace {

using namespace std::chrono_literals;
using waylandtest::ChildProcess;
using waylandtest::SwayOptions;
using waylandtest::SwayOutput;
using waylandtest::SwayRig;
using waylandtest::waitUntil;

std::unique_ptr<ChildProcess> startApp(SwayRig& rig, const std::vector<std::string>& argv) {
  ChildProcess::Options o;
  o.environment = rig.environment();
  o.pipeStdin = false;
  o.pipeStdout = false;
  return ChildProcess::start(argv, o);
}

std::string swaySocket(SwayRig& rig) {
  return rig.environment().at("SWAYSOCK");
}

const SwayView* findByApp(const std::vector<SwayView>& views, const std::string& app) {
  for (const auto& v : views)
    if (v.appID == app) return &v;
  return nullptr;
}

// Waits until the list, read through the cache, satisfies `condition`.
bool listShows(SwayWindowList& list,
               const std::function<bool(const std::vector<SwayView>&)>& condition) {
  return waitUntil([&] {
    const auto views = list.read();
    return views && condition(*views);
  });
}

// Sizes and places the floating view of `app` and waits until the tree, asked afresh, shows it
// there. foot may answer its first configure with its own size after a resize, so the commands
// go out again while it does.
bool placeFloating(SwayRig& rig, SwayWindowList& list, const std::string& app, Rect frame) {
  const std::string criteria = "[app_id=" + app + "]";
  int polls = 0;
  return waitUntil([&] {
    if (polls++ % 50 == 0) {
      rig.swaymsg({criteria, "resize", "set", std::to_string(int(frame.width)),
                   std::to_string(int(frame.height))});
      rig.swaymsg({criteria, "move", "absolute", "position", std::to_string(int(frame.x)),
                   std::to_string(int(frame.y))});
    }
    const auto views = list.read(SwayFreshness::kAsk);
    if (!views) return false;
    for (const auto& v : *views)
      if (v.appID == app) return v.frame == frame;
    return false;
  });
}

TEST(WaylandSwayWindowList, FollowsRealApplicationsThroughSwaysEvents) {
  START_SWAY(rig, SwayOptions{});
  auto list = SwayWindowList::open(swaySocket(*rig).c_str());
  ASSERT_TRUE(list);
  auto a = startApp(*rig, {"foot", "--app-id", "orvel-a"});
  ASSERT_TRUE(a);
  ASSERT_TRUE(listShows(*list, [&](const auto& views) {
    const SwayView* v = findByApp(views, "orvel-a");
    return v && v->focused;
  })) << "foot's window did not show";
  std::int64_t idA = 0;
  {
    const auto views = list->read();
    ASSERT_EQ(views->size(), 1u);
    const SwayView& v = views->front();
    idA = v.id;
    EXPECT_EQ(v.pid, a->pid());
    EXPECT_EQ(v.frame, (Rect{0, 0, 1280, 720}));  // tiled over the whole output, no borders
    EXPECT_FALSE(v.floating || v.fullscreen);
  }

  // Nothing changed: the list comes from the cache.
  const auto trips = list->roundTrips();
  const auto reads = list->treeReads();
  for (int i = 0; i < 5; ++i)
    ASSERT_TRUE(list->read());
  EXPECT_EQ(list->roundTrips(), trips);
  EXPECT_EQ(list->treeReads(), reads);

  // A second window, floating: it lies over the tiled one, and stays there when the tiled one
  // takes the focus.
  auto b = startApp(*rig, {"foot", "--app-id", "orvel-b"});
  ASSERT_TRUE(b);
  ASSERT_TRUE(listShows(*list, [&](const auto& views) { return findByApp(views, "orvel-b"); }));
  ASSERT_TRUE(rig->swaymsg({"[app_id=orvel-b]", "floating", "enable"}));
  ASSERT_TRUE(listShows(*list, [&](const auto& views) {
    return views.size() == 2 && views[0].appID == "orvel-b" && views[0].floating;
  }));
  const std::int64_t idB = list->read()->front().id;

  // sway reports no resize: a reader that must see one asks.
  ASSERT_TRUE(placeFloating(*rig, *list, "orvel-b", {10, 20, 300, 200}));
  ASSERT_TRUE(list->run("[con_id=" + std::to_string(idA) + "] focus"));
  ASSERT_TRUE(listShows(*list, [&](const auto& views) {
    return views.size() == 2 && views[1].id == idA && views[1].focused && !views[0].focused;
  })) << "activation did not focus the tiled view";
  ASSERT_TRUE(list->run("[con_id=" + std::to_string(idB) + "] focus"));
  ASSERT_TRUE(listShows(*list, [&](const auto& views) { return views[0].focused; }));
  EXPECT_FALSE(list->run("[con_id=999999] focus"));

  // Views of a workspace that is not shown are off screen.
  ASSERT_TRUE(
      rig->swaymsg({"[con_id=" + std::to_string(idA) + "]", "move", "to", "workspace", "2"}));
  ASSERT_TRUE(
      listShows(*list, [&](const auto& views) { return views.size() == 1 && views[0].id == idB; }));
  ASSERT_TRUE(rig->swaymsg({"workspace", "2"}));
  ASSERT_TRUE(
      listShows(*list, [&](const auto& views) { return views.size() == 1 && views[0].id == idA; }));

  // A fullscreen view covers its workspace: it alone is shown.
  ASSERT_TRUE(rig->swaymsg({"workspace", "1"}));
  auto c = startApp(*rig, {"foot", "--app-id", "orvel-c"});
  ASSERT_TRUE(listShows(*list, [&](const auto& views) { return findByApp(views, "orvel-c"); }));
  ASSERT_TRUE(rig->swaymsg({"[app_id=orvel-c]", "fullscreen", "enable"}));
  ASSERT_TRUE(listShows(*list, [&](const auto& views) {
    return !views.empty() && views[0].appID == "orvel-c" && views[0].fullscreen &&
           views[0].frame == Rect{0, 0, 1280, 720};
  }));

  // A closed window leaves the list.
  c.reset();
  ASSERT_TRUE(
      listShows(*list, [&](const auto& views) { return views.size() == 1 && views[0].id == idB; }));
}

TEST(WaylandSwayFocus, ActivatesTheNamedApplicationAndReportsTheFocusedOne) {
  START_SWAY(rig, SwayOptions{});
  auto list = SwayWindowList::open(swaySocket(*rig).c_str());
  ASSERT_TRUE(list);
  SwayFocus focus(*list);
  auto a = startApp(*rig, {"foot", "--app-id", "orvel-a"});
  ASSERT_TRUE(waitUntil([&] { return focus.frontmostPID() == a->pid(); }));
  auto b = startApp(*rig, {"foot", "--app-id", "orvel-b"});
  ASSERT_TRUE(waitUntil([&] { return focus.frontmostPID() == b->pid(); }));

  ASSERT_TRUE(focus.activate(a->pid()));
  EXPECT_TRUE(waitUntil([&] { return focus.frontmostPID() == a->pid(); }));
  // Unchanged focus costs no round trip.
  const auto trips = list->roundTrips();
  EXPECT_EQ(focus.frontmostPID(), a->pid());
  EXPECT_EQ(list->roundTrips(), trips);

  // A view on a workspace not shown: activation shows it.
  ASSERT_TRUE(rig->swaymsg({"[app_id=orvel-b]", "move", "to", "workspace", "2"}));
  ASSERT_TRUE(listShows(*list, [&](const auto& views) { return views.size() == 1; }));
  ASSERT_TRUE(focus.activate(b->pid()));
  EXPECT_TRUE(waitUntil([&] { return focus.frontmostPID() == b->pid(); }));

  EXPECT_FALSE(focus.activate(999999));
  EXPECT_FALSE(focus.activate(0));
  // An empty workspace has no focused view.
  ASSERT_TRUE(rig->swaymsg({"workspace", "3"}));
  EXPECT_TRUE(waitUntil([&] { return !focus.frontmostPID(); }));
}

TEST(WaylandSwayWindowServer, ListsViewsInGlobalCoordinatesAndSeesResizes) {
  SwayOutput left{.width = 800, .height = 600, .x = 0, .y = 0};
  SwayOutput right{.width = 1024, .height = 768, .x = 800, .y = 0};
  START_SWAY(rig, (SwayOptions{{left, right}}));
  auto list = SwayWindowList::open(swaySocket(*rig).c_str());
  ASSERT_TRUE(list);
  auto connection = WaylandConnection::open(rig->waylandDisplay().c_str());
  ASSERT_TRUE(connection);
  WaylandScreens screens(*connection);
  ASSERT_EQ(screens.screens().size(), 2u);
  SwayWindowServer server(*list, screens);
  auto a = startApp(*rig, {"foot", "--app-id", "orvel-a"});
  ASSERT_TRUE(listShows(*list, [&](const auto& views) { return views.size() == 1; }));
  ASSERT_TRUE(rig->swaymsg({"[app_id=orvel-a]", "floating", "enable"}));
  ASSERT_TRUE(placeFloating(*rig, *list, "orvel-a", {900, 100, 320, 240}));
  const Json expected{{"X", 900.0}, {"Y", 100.0}, {"Width", 320.0}, {"Height", 240.0}};
  const Json windows = server.onScreenWindows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0][platform::kCGWindowBounds], expected);
  EXPECT_EQ(server.onScreenWindows()[0][platform::kCGWindowOwnerPID], a->pid());
  EXPECT_EQ(server.cursorLevel(), kSwayCursorLevel);

  // Reads within one turn of a loop share one tree; a later turn asks again and sees the resize.
  SteadyClock clock;
  EventLoop loop(clock);
  SwayWindowServer perTurn(*list, screens, SwayFreshness::kAsk, &loop);
  const auto readsBefore = list->treeReads();
  EXPECT_EQ(perTurn.onScreenWindows()[0][platform::kCGWindowBounds], expected);
  EXPECT_EQ(perTurn.onScreenWindows()[0][platform::kCGWindowBounds], expected);
  EXPECT_EQ(list->treeReads(), readsBefore + 1);
  ASSERT_TRUE(placeFloating(*rig, *list, "orvel-a", {900, 100, 400, 300}));
  EXPECT_EQ(perTurn.onScreenWindows()[0][platform::kCGWindowBounds], expected);
  bool turned = false;
  loop.defer([&] { turned = true; });
  loop.runUntil([&] { return turned; });
  const Json resized{{"X", 900.0}, {"Y", 100.0}, {"Width", 400.0}, {"Height", 300.0}};
  EXPECT_EQ(perTurn.onScreenWindows()[0][platform::kCGWindowBounds], resized);
}

TEST(WaylandSwayWindowList, ALostCompositorGivesNoList) {
  START_SWAY(rig, SwayOptions{});
  auto list = SwayWindowList::open(swaySocket(*rig).c_str());
  ASSERT_TRUE(list);
  ASSERT_TRUE(list->read());
  rig->killCompositor();
  EXPECT_TRUE(waitUntil([&] { return !list->read(); }));
  EXPECT_FALSE(list->run("[con_id=1] focus"));
  EXPECT_FALSE(SwayWindowList::open("/nonexistent/sway.sock")->answered());
}

}  // namespace
}  // namespace orvel::wayland
