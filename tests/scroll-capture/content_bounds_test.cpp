#include <gtest/gtest.h>

#include <limits>

#include "content_bounds.h"
#include "platform/sim/sim_accessibility.h"
#include "platform/sim/sim_desktop.h"
#include "scroll_notification_host.h"

namespace orvel::scroll {
namespace {

using namespace std::chrono_literals;

constexpr std::int32_t kDockPID = 50;
constexpr std::int32_t kHostPID = 60;
constexpr std::uint32_t kBannerWindow = 7;
constexpr std::uint32_t kTarget = 10;
const Rect kScreen{0, 0, 1440, 900};
const Rect kRegion{200, 200, 400, 300};

Json element(const char* role, Rect r, Json extra = Json::object()) {
  Json e = {{"AXRole", role}, {"AXPosition", {r.x, r.y}}, {"AXSize", {r.width, r.height}}};
  e.update(extra);
  return e;
}
Json banner(Rect r) {
  return element("AXGroup", r, {{"AXSubrole", "AXNotificationCenterBanner"}});
}
Json scrollArea(Json children, Rect r = {0, 0, 1440, 900}) {
  return element("AXScrollArea", r, {{"AXChildren", std::move(children)}});
}
Json hostTree(Json hostingChildren) {
  Json hosting =
      element("AXGroup", kScreen,
              {{"AXSubrole", "AXHostingView"}, {"AXChildren", std::move(hostingChildren)}});
  Json window = element("AXWindow", kScreen,
                        {{"AXSubrole", "AXSystemDialog"}, {"AXChildren", Json::array({hosting})}});
  return {{"AXWindows", Json::array({window})}};
}

struct ContentBoundsTest : ::testing::Test {
  ManualClock clock;
  sim::SimDesktop desktop;
  sim::SimAccessibility ax;
  ScrollWindowPolicy policy{{900}, {kDockPID}, {kHostPID}, 2147483630, 20};
  AccessibilityContentBounds reader{{ax, desktop, desktop, clock}};

  void SetUp() override {
    desktop.addApplication(kHostPID, ScrollNotificationHost::bundleID);
    desktop.addApplication(kDockPID, "com.apple.dock");
    desktop.addApplication(5, "org.example.reader");
    desktop.addWindow(kTarget, 5, {100, 100, 800, 600});
    desktop.addWindow(kBannerWindow, kHostPID, kScreen, 21, 1.0, std::nullopt, true, 1);
  }
  std::optional<std::vector<Rect>> read(const Json& tree) {
    ax.setTree(kHostPID, tree);
    auto notes =
        reader.notificationContentBounds(desktop.onScreenWindows(), kRegion, kTarget, policy);
    auto it = notes.find(kBannerWindow);
    if (it == notes.end()) return std::nullopt;
    return it->second;
  }
};

TEST_F(ContentBoundsTest, BannersAreWidenedAndClippedToTheWindow) {
  auto rects =
      read(hostTree({scrollArea({banner({1100, 20, 300, 80}), banner({10, 100, 300, 80})})}));
  ASSERT_TRUE(rects);
  ASSERT_EQ(rects->size(), 2u);
  EXPECT_EQ((*rects)[0], (Rect{1084, 4, 332, 112}));
  EXPECT_EQ((*rects)[1], (Rect{0, 84, 326, 112})) << "the 16-point margin stops at the left edge";
  auto empty = read(hostTree({scrollArea(Json::array())}));
  ASSERT_TRUE(empty) << "a scroll area without notifications gives an empty entry";
  EXPECT_TRUE(empty->empty());
}

TEST_F(ContentBoundsTest, TreesOfAnotherShapeGiveNoEntry) {
  EXPECT_FALSE(read(hostTree({banner({1100, 20, 300, 80})}))) << "no scroll area";
  EXPECT_FALSE(read(hostTree(
      {scrollArea({banner({1100, 20, 300, 80}), element("AXButton", {1100, 200, 20, 20})})})))
      << "a visible element of a foreign role";
  EXPECT_TRUE(read(
      hostTree({scrollArea({banner({1100, 20, 300, 80}),
                            element("AXButton", {1100, 200, 20, 20}, {{"AXHidden", true}})})})))
      << "hidden elements are not judged";
  // A plain empty group is content inside a scroll area and an empty container outside one.
  Json plain = element("AXGroup", {1000, 300, 100, 100}, {{"AXChildren", Json::array()}});
  auto inside = read(hostTree({scrollArea({plain})}));
  ASSERT_TRUE(inside);
  EXPECT_EQ(inside->size(), 1u);
  auto outside = read(hostTree({scrollArea(Json::array()), plain}));
  ASSERT_TRUE(outside);
  EXPECT_TRUE(outside->empty());

  Json tree = hostTree({scrollArea({banner({1100, 20, 300, 80})})});
  Json twin = tree["AXWindows"][0];
  tree["AXWindows"].push_back(twin);
  EXPECT_FALSE(read(tree)) << "two accessibility windows with the window's frame";
  Json missingRole = hostTree({scrollArea({banner({1100, 20, 300, 80})})});
  missingRole["AXWindows"][0]["AXChildren"][0]["AXChildren"][0]["AXRole"] = {{"error", -25204}};
  EXPECT_FALSE(read(missingRole));
}

TEST_F(ContentBoundsTest, OnlyCandidateWindowsInFrontOfTheTargetAreRead) {
  const Json tree = hostTree({scrollArea({banner({1100, 20, 300, 80})})});
  ax.setTree(kHostPID, tree);
  auto readWith = [&](auto change) {
    Json list = desktop.onScreenWindows();
    change(list[0]);
    ax.clearReads();
    auto notes = reader.notificationContentBounds(list, kRegion, kTarget, policy);
    return std::make_pair(notes.count(kBannerWindow) > 0, ax.reads().size());
  };
  EXPECT_EQ(readWith([](Json&) {}).first, true);
  for (auto change : std::vector<std::function<void(Json&)>>{
           [](Json& w) { w["kCGWindowLayer"] = 20; }, [](Json& w) { w["kCGWindowAlpha"] = 0.1; },
           [](Json& w) { w["kCGWindowIsOnscreen"] = false; },
           [](Json& w) { w["kCGWindowSharingState"] = 0; },
           [](Json& w) { w.erase("kCGWindowSharingState"); },
           [](Json& w) { w["kCGWindowBounds"]["Width"] = 1439; },  // not a whole display
       }) {
    auto [entry, reads] = readWith(change);
    EXPECT_FALSE(entry);
    EXPECT_EQ(reads, 0u) << "such windows are never read";
  }
  // Behind the target.
  Json list = desktop.onScreenWindows();
  std::swap(list[0], list[1]);
  EXPECT_TRUE(reader.notificationContentBounds(list, kRegion, kTarget, policy).empty());
}

TEST_F(ContentBoundsTest, ReadingIsBoundedByElementsAndTime) {
  // Three groups of 50 banners (no element may have more than 64 children).
  Json groups = Json::array();
  for (int g = 0; g < 3; ++g) {
    Json banners = Json::array();
    for (int i = 0; i < 50; ++i)
      banners.push_back(banner({1100, 300.0 * g + 4 * i, 300, 2}));
    groups.push_back(element("AXGroup", {1000, 300.0 * g, 440, 300}, {{"AXChildren", banners}}));
  }
  auto cut = read(hostTree({scrollArea(groups)}));
  ASSERT_TRUE(cut);
  // 128 elements: the window twice (shallow, then full), the hosting view, the scroll area, then
  // each group and its banners: 50 + 50 + 21 banners.
  EXPECT_EQ(cut->size(), 121u);
  Json wide = Json::array();
  for (int i = 0; i < 65; ++i)
    wide.push_back(banner({1100, 4.0 * i, 300, 2}));
  EXPECT_FALSE(read(hostTree({scrollArea(wide)}))) << "65 children are too many";

  ax.clearReads();
  read(hostTree({scrollArea({banner({1100, 20, 300, 80})})}));
  ASSERT_FALSE(ax.reads().empty());
  EXPECT_EQ(ax.reads()[0].attribute, "AXWindows");
  EXPECT_FLOAT_EQ(ax.reads()[0].timeout, 0.25f);
  for (size_t i = 1; i < ax.reads().size(); ++i)
    EXPECT_FLOAT_EQ(ax.reads()[i].timeout, 0.08f);
  const size_t readsNeeded = ax.reads().size();

  // Each read costs time; the reading fits the deadline only while its last read starts before
  // 0.8 s have passed.
  const Json tree = hostTree({scrollArea({banner({1100, 20, 300, 80})})});
  ax.setReadCost(&clock, std::chrono::microseconds(800000 / (readsNeeded - 1)) + 1us);
  EXPECT_FALSE(read(tree)) << "deadline reached";
  ax.setReadCost(&clock, std::chrono::microseconds(800000 / readsNeeded));
  EXPECT_TRUE(read(tree));
}

TEST_F(ContentBoundsTest, DockListsAreFoundWithinThreeLevels) {
  auto dockWith = [&](Json lists, int depth = 1) {
    Json node = element("AXGroup", {0, 0, 1, 1}, {{"AXChildren", std::move(lists)}});
    for (int d = 1; d < depth; ++d) {
      node = element("AXGroup", {0, 0, 1, 1}, {{"AXChildren", Json::array({node})}});
    }
    ax.setTree(kDockPID, {{"AXRole", "AXApplication"}, {"AXChildren", node["AXChildren"]}});
    return reader.dockContentBounds(Json::array(), policy);
  };
  auto shown = dockWith({element("AXList", {300, 840, 800, 60}),
                         element("AXList", {0, 840, 100, 60}, {{"AXHidden", true}}),
                         element("AXList", {0, 840, 0, 60})});
  ASSERT_TRUE(shown);
  EXPECT_EQ(*shown, (std::vector<Rect>{{300, 840, 800, 60}}));
  auto hiddenOnly = dockWith({element("AXList", {0, 840, 100, 60}, {{"AXHidden", 1}})});
  ASSERT_TRUE(hiddenOnly) << "a hidden list is found but not collected";
  EXPECT_TRUE(hiddenOnly->empty());
  EXPECT_TRUE(dockWith({element("AXList", {300, 840, 800, 60})}, 3));
  EXPECT_FALSE(dockWith({element("AXList", {300, 840, 800, 60})}, 4)) << "too deep: not found";
  EXPECT_FALSE(dockWith({element("AXList", {300, 840, 800, 60}, {{"AXPosition", "x"}})}));

  ScrollWindowPolicy noDock({900}, {}, {kHostPID}, 2147483630, 20);
  EXPECT_FALSE(reader.dockContentBounds(Json::array(), noDock));
  ScrollWindowPolicy staleDock({900}, {5}, {kHostPID}, 2147483630, 20);
  EXPECT_FALSE(reader.dockContentBounds(Json::array(), staleDock))
      << "the pid no longer belongs to the Dock";
}

// Docks and notification hosts by window level, their content by window shape.
TEST(ShapeContentBounds, ShapesDecideWhereDocksAndNotificationsCover) {
  ManualClock clock;
  sim::SimDesktop desktop;
  ShapeContentBounds reader(desktop, desktop, clock);
  const Rect region{200, 500, 400, 300};
  desktop.addWindow(kTarget, 5, {100, 100, 800, 800});
  constexpr std::uint32_t kDock = 30, kPopup = 40;
  desktop.addWindow(kPopup, kHostPID, {500, 400, 400, 200}, 21, 1.0, std::nullopt, true, 1);
  desktop.addWindow(kDock, kDockPID, {0, 780, 1440, 120}, 20);

  const ContentOwners owners = reader.owners();
  EXPECT_EQ(owners.dockPIDs, std::set<std::int32_t>{kDockPID});
  EXPECT_EQ(owners.notificationPIDs, std::set<std::int32_t>{kHostPID});
  const ScrollWindowPolicy policy({900}, owners.dockPIDs, owners.notificationPIDs, 2147483630, 20);
  auto cover = [&]() -> std::optional<std::uint32_t> {
    const Json list = desktop.onScreenWindows();
    std::vector<ScrollWindowInfo> infos;
    for (const auto& d : list)
      infos.push_back(*ScrollWindowInfo::make(d));
    auto w = policy.occluder(infos, kTarget, region, reader.dockContentBounds(list, policy),
                             reader.notificationContentBounds(list, region, kTarget, policy));
    if (!w) return std::nullopt;
    return w->id;
  };

  // Without shapes both windows count whole; the dock is in front. The popup is read although it
  // spans no display: widened by 16 points and clipped to its frame.
  EXPECT_EQ(cover(), kDock);
  desktop.shapes[kPopup] = {{700, 420, 180, 100}};
  EXPECT_EQ(reader.notificationContentBounds(desktop.onScreenWindows(), region, kTarget, policy),
            (NotificationContent{{kPopup, {{684, 404, 212, 132}}}}));
  EXPECT_EQ(cover(), kDock);
  // The dock draws a strip below the region: its wider frame no longer counts.
  desktop.shapes[kDock] = {{300, 850, 600, 50}, {1400, 700, 40, 40}};
  EXPECT_EQ(desktop.onScreenWindows().size(), 3u);
  EXPECT_EQ(cover(), std::nullopt);
  EXPECT_EQ(reader.dockContentBounds(desktop.onScreenWindows(), policy),
            (std::vector<Rect>{{300, 850, 600, 50}}))
      << "clipped to the frame";
  desktop.shapes[kDock] = {{300, 790, 600, 50}};
  EXPECT_EQ(cover(), kDock);
  desktop.shapes[kDock] = {};
  EXPECT_EQ(cover(), std::nullopt) << "a dock that draws nothing covers nothing";

  // A popup whose margin reaches the region covers it; so does one whose shape is unreadable.
  desktop.shapes[kPopup] = {{606, 420, 100, 100}};
  EXPECT_EQ(cover(), kPopup);
  desktop.shapes[kPopup] = std::vector<Rect>(129, Rect{700, 420, 10, 10});
  EXPECT_EQ(cover(), kPopup) << "more rectangles than the budget";
  desktop.shapes[kPopup] = {{700, 420, std::numeric_limits<double>::infinity(), 10}};
  EXPECT_EQ(cover(), kPopup);
  desktop.shapes[kPopup] = std::vector<Rect>(128, Rect{700, 420, 10, 10});
  EXPECT_EQ(cover(), std::nullopt);

  // Behind the target nothing is read; with no dock there is no dock content at all.
  EXPECT_TRUE(
      reader.notificationContentBounds(desktop.onScreenWindows(), region, kPopup, policy).empty());
  const ScrollWindowPolicy noDock({900}, {}, {}, 2147483630, 20);
  EXPECT_FALSE(reader.dockContentBounds(desktop.onScreenWindows(), noDock));
}

}  // namespace
}  // namespace orvel::scroll
