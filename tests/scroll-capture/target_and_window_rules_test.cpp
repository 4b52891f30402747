#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "mac_scroll_target.h"
#include "platform/window_server.h"
#include "pointer_rest.h"
#include "scroll_window_info.h"
#include "scroll_window_policy.h"

namespace orvel::scroll {
namespace {

const Rect kFrame{100, 100, 800, 600};
const Rect kRegion{200, 200, 400, 300};
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(MacScrollTarget, RefusesEveryUnidentifiableTarget) {
  ASSERT_TRUE(MacScrollTarget::make(5, "app", 9, kFrame, kRegion));
  EXPECT_FALSE(MacScrollTarget::make(0, "app", 9, kFrame, kRegion));
  EXPECT_FALSE(MacScrollTarget::make(-3, "app", 9, kFrame, kRegion));
  EXPECT_FALSE(MacScrollTarget::make(5, "app", 0, kFrame, kRegion));
  EXPECT_FALSE(MacScrollTarget::make(5, std::nullopt, 9, kFrame, kRegion));
  EXPECT_FALSE(MacScrollTarget::make(5, "", 9, kFrame, kRegion));
  EXPECT_FALSE(MacScrollTarget::make(5, "app", 9, kFrame, Rect{200, 200, 0, 300}));
  EXPECT_FALSE(MacScrollTarget::make(5, "app", 9, kFrame, Rect{200, kNaN, 10, 10}));
  EXPECT_FALSE(MacScrollTarget::make(5, "app", 9, kFrame,
                                     Rect{200, 200, std::numeric_limits<double>::infinity(), 1}));
  EXPECT_FALSE(MacScrollTarget::make(5, "app", 9, kFrame, Rect{600, 200, 300.5, 300}));
  // A region equal to the frame is inside it.
  EXPECT_TRUE(MacScrollTarget::make(5, "app", 9, kFrame, kFrame));
}

// The pointer rests inside the window, clear of the region by a cursor's reach: below, else right,
// above, left; nowhere when the region leaves no such room.
TEST(PointerRestingPlace, InsideTheWindowAndClearOfTheRegion) {
  EXPECT_EQ(pointerRestingPlace(kFrame, kRegion), (Point{400, 500 + kCursorReach}));
  EXPECT_EQ(pointerRestingPlace(kFrame, Rect{200, 200, 400, 500}),
            (Point{600 + kCursorReach, 450}));
  EXPECT_EQ(pointerRestingPlace(kFrame, Rect{100, 200, 800, 500}),
            (Point{500, 200 - kCursorReach}));
  EXPECT_EQ(pointerRestingPlace(kFrame, Rect{150, 100, 750, 600}),
            (Point{150 - kCursorReach, 400}));
  // Room of less than a cursor's reach is none.
  EXPECT_EQ(pointerRestingPlace(kFrame, Rect{110, 110, 780, 580}), std::nullopt);
  EXPECT_EQ(pointerRestingPlace(kFrame, kFrame), std::nullopt);
  // Fractional regions rest on whole points.
  EXPECT_EQ(pointerRestingPlace(kFrame, Rect{200.5, 200, 400, 300.25}), (Point{400, 532}));
  EXPECT_EQ(MacScrollTarget::make(5, "app", 9, kFrame, kRegion)->rest,
            pointerRestingPlace(kFrame, kRegion));
}

TEST(MacScrollTarget, MatchesOnlyTheSameWindowAtExactlyTheSamePlace) {
  auto t = *MacScrollTarget::make(5, "app", 9, kFrame, kRegion);
  EXPECT_EQ(t.point, (Point{400, 350}));
  EXPECT_TRUE(t.matches(5, "app", 9, kFrame));
  EXPECT_FALSE(t.matches(5, "app", 9, kFrame.offsetBy(0.25, 0)));
  EXPECT_FALSE(t.matches(5, "app", 9, Rect{100, 100, 800, 600.5}));
  EXPECT_FALSE(t.matches(5, std::nullopt, 9, kFrame));
  EXPECT_FALSE(t.matches(5, "App", 9, kFrame));
  EXPECT_FALSE(t.matches(6, "app", 9, kFrame));
  EXPECT_FALSE(t.matches(5, "app", 8, kFrame));
}

Json dict(Json extra = Json::object()) {
  Json d = {{platform::kCGWindowNumber, 7},
            {platform::kCGWindowOwnerPID, 42},
            {platform::kCGWindowBounds, {{"X", 1}, {"Y", 2}, {"Width", 30}, {"Height", 40}}}};
  for (auto& [k, v] : extra.items()) {
    if (v.is_null()) {
      d.erase(k);
    } else {
      d[k] = v;
    }
  }
  return d;
}

TEST(ScrollWindowInfo, RequiredKeysDefaultsAndWrongTypes) {
  auto info = ScrollWindowInfo::make(dict());
  ASSERT_TRUE(info);
  EXPECT_EQ(info->id, 7u);
  EXPECT_EQ(info->ownerPID, 42);
  EXPECT_EQ(info->bounds, (Rect{1, 2, 30, 40}));
  EXPECT_EQ(info->layer, 0);
  EXPECT_EQ(info->alpha, 1.0);
  EXPECT_FALSE(info->onscreen);
  EXPECT_FALSE(info->sharingState);

  for (const char* key :
       {platform::kCGWindowNumber, platform::kCGWindowOwnerPID, platform::kCGWindowBounds}) {
    EXPECT_FALSE(ScrollWindowInfo::make(dict({{key, nullptr}}))) << "missing " << key;
    EXPECT_FALSE(ScrollWindowInfo::make(dict({{key, "7"}}))) << "string " << key;
  }
  EXPECT_FALSE(ScrollWindowInfo::make(
      dict({{platform::kCGWindowBounds, {{"X", 1}, {"Y", 2}, {"Width", 30}}}})));
  EXPECT_FALSE(ScrollWindowInfo::make(Json::array()));

  auto typed = ScrollWindowInfo::make(dict({{platform::kCGWindowLayer, "3"},
                                            {platform::kCGWindowAlpha, "0"},
                                            {platform::kCGWindowIsOnscreen, 1},
                                            {platform::kCGWindowSharingState, 2}}));
  ASSERT_TRUE(typed);
  EXPECT_EQ(typed->layer, 0) << "a layer of another type reads as 0";
  EXPECT_EQ(typed->alpha, 1.0);
  EXPECT_EQ(typed->onscreen, true);
  EXPECT_EQ(typed->sharingState, 2);
  EXPECT_TRUE(windowRect(dict({{platform::kCGWindowBounds, nullptr}})).isNull());
}

ScrollWindowInfo win(std::uint32_t id, std::int32_t pid, Rect bounds, std::int64_t layer = 0,
                     double alpha = 1.0) {
  ScrollWindowInfo w;
  w.id = id;
  w.ownerPID = pid;
  w.bounds = bounds;
  w.layer = layer;
  w.alpha = alpha;
  return w;
}

const ScrollWindowPolicy kPolicy({900, 901}, {50}, {60}, 2147483630, 20);

TEST(ScrollWindowPolicy, TargetsAreOtherProgramsNormalVisibleWindowsUnderThePoint) {
  const Point p{150, 150};
  EXPECT_TRUE(kPolicy.isTarget(win(1, 42, kFrame), p));
  EXPECT_FALSE(kPolicy.isTarget(win(1, 900, kFrame), p));
  EXPECT_FALSE(kPolicy.isTarget(win(1, 901, kFrame), p));
  EXPECT_FALSE(kPolicy.isTarget(win(1, 42, kFrame, 3), p));
  EXPECT_FALSE(kPolicy.isTarget(win(1, 42, kFrame, 0, 0.1), p));
  EXPECT_TRUE(kPolicy.isTarget(win(1, 42, kFrame, 0, 0.11), p));
  EXPECT_FALSE(kPolicy.isTarget(win(1, 42, kFrame), Point{900, 150})) << "far edge is outside";
}

TEST(ScrollWindowPolicy, OccluderLooksOnlyInFrontOfTheTargetAndSkipsOursAndTheCursor) {
  const std::uint32_t target = 10;
  const Rect over{300, 300, 50, 50};
  std::vector<ScrollWindowInfo> list = {win(1, 900, over), win(2, 42, over, 2147483630),
                                        win(3, 42, over, 0, 0.1), win(target, 5, kFrame),
                                        win(4, 42, over)};
  EXPECT_FALSE(kPolicy.occluder(list, target, kRegion, std::nullopt));
  list.insert(list.begin() + 3, win(5, 42, over, 0, 0.11));
  auto hit = kPolicy.occluder(list, target, kRegion, std::nullopt);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->id, 5u);
  // A window that only touches the region's edge does not cover it.
  EXPECT_FALSE(kPolicy.occluder({win(6, 42, Rect{600, 200, 50, 50}), win(target, 5, kFrame)},
                                target, kRegion, std::nullopt));
  // A target missing from the list: nothing in front of it was found to cover.
  EXPECT_FALSE(kPolicy.occluder({}, target, kRegion, std::nullopt));
}

TEST(ScrollWindowPolicy, DockAndNotificationWindowsCoverOnlyWithTheirContent) {
  const std::uint32_t target = 10;
  const Rect screen{0, 0, 1440, 900};
  auto banner = win(7, 60, screen, 21);
  banner.onscreen = true;
  banner.sharingState = 1;
  const std::vector<ScrollWindowInfo> withBanner = {banner, win(target, 5, kFrame)};
  NotificationContent outside = {{7, {Rect{1100, 20, 300, 80}}}};
  EXPECT_FALSE(kPolicy.occluder(withBanner, target, kRegion, std::nullopt, outside))
      << "content read and outside the region: the full-screen frame does not count";
  NotificationContent inside = {{7, {Rect{250, 250, 100, 50}}}};
  EXPECT_TRUE(kPolicy.occluder(withBanner, target, kRegion, std::nullopt, inside));
  EXPECT_TRUE(kPolicy.occluder(withBanner, target, kRegion, std::nullopt, {}))
      << "without content the frame counts";

  const auto dock = win(8, 50, Rect{0, 800, 1440, 100}, 20);
  const Rect low{200, 400, 400, 450};  // reaches into the Dock's frame
  const std::vector<ScrollWindowInfo> withDock = {dock, win(target, 5, Rect{0, 0, 1440, 900})};
  const std::vector<Rect> icons = {Rect{500, 820, 400, 80}};
  EXPECT_TRUE(kPolicy.occluder(withDock, target, low, icons)) << "icons over the region";
  EXPECT_FALSE(kPolicy.occluder(withDock, target, Rect{0, 400, 300, 450}, icons))
      << "the Dock's frame meets the region but its icons do not";
  EXPECT_TRUE(kPolicy.occluder(withDock, target, Rect{0, 400, 300, 450}, std::nullopt))
      << "unreadable Dock: judged by its frame";
  EXPECT_FALSE(kPolicy.occluder(withDock, target, Rect{0, 400, 300, 450}, std::vector<Rect>{}))
      << "readable Dock without lists covers nothing";
  auto transparentDock = dock;
  transparentDock.alpha = 0.1;
  EXPECT_FALSE(kPolicy.occluder({transparentDock, win(target, 5, kFrame)}, target, low, icons));
  auto raisedDock = dock;
  raisedDock.layer = 0;
  EXPECT_TRUE(kPolicy.occluder({raisedDock, win(target, 5, Rect{0, 0, 1440, 900})}, target,
                               Rect{0, 400, 300, 450}, icons))
      << "a Dock window at another level is judged by its frame";
}

TEST(ScrollWindowPolicy, DockAndNotificationOwnersStartedLaterCallForAReadingOnce) {
  const std::uint32_t target = 10;
  const auto app = win(target, 5, kFrame);
  EXPECT_FALSE(kPolicy.meetsNewContentOwner({win(8, 50, kFrame, 20), win(7, 60, kFrame, 21), app}))
      << "the owners read";
  EXPECT_FALSE(kPolicy.meetsNewContentOwner({win(9, 70, kFrame, 3), app}))
      << "other levels are never docks or notification hosts";
  EXPECT_FALSE(kPolicy.meetsNewContentOwner({win(9, 900, kFrame, 20)})) << "our own windows";
  const std::vector<ScrollWindowInfo> laterDock = {win(9, 70, kFrame, 20), app};
  const std::vector<ScrollWindowInfo> laterHost = {win(9, 80, kFrame, 21), app};
  EXPECT_TRUE(kPolicy.meetsNewContentOwner(laterDock));
  EXPECT_TRUE(kPolicy.meetsNewContentOwner(laterHost));

  // Read again: 70 turned out to be a dock, 80 no notification host (its window stays judged by
  // its frame), and the old dock has gone.
  const ScrollWindowPolicy again =
      kPolicy.withOwners({70}, {60}, {win(9, 70, kFrame, 20), win(11, 80, kFrame, 21), app});
  EXPECT_EQ(again.dockPIDs(), (std::set<std::int32_t>{70}));
  EXPECT_EQ(again.notificationPIDs(), (std::set<std::int32_t>{60}));
  EXPECT_EQ(again.ownPIDs(), kPolicy.ownPIDs());
  EXPECT_EQ(again.dockLevel(), kPolicy.dockLevel());
  EXPECT_EQ(again.cursorLevel(), kPolicy.cursorLevel());
  EXPECT_FALSE(again.meetsNewContentOwner(laterDock));
  EXPECT_FALSE(again.meetsNewContentOwner(laterHost)) << "considered once, not read on every check";
  EXPECT_FALSE(again.meetsNewContentOwner({win(8, 50, kFrame, 20)}))
      << "an owner read before stays considered";
  EXPECT_TRUE(again.meetsNewContentOwner({win(12, 90, kFrame, 21)}));
}

}  // namespace
}  // namespace orvel::scroll
