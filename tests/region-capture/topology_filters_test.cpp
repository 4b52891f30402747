#include <gtest/gtest.h>

#include <functional>

#include "frozen_placement.h"
#include "helper_rig.h"
#include "messages.h"
#include "topology.h"

namespace orvel::region::testing {
namespace {

TEST(Topology, IgnoresScreenOrderAndSeesMovesAndScaleChanges) {
  sim::SimDesktop desktop;
  desktop.setDisplays({{1, {0, 0, 1512, 982}, 2}, {7, {-1920, 0.5, 1920, 1080}, 1}});
  const Topology first = topology(desktop);
  EXPECT_EQ(first,
            (Topology{"1:(0.0, 0.0, 1512.0, 982.0):2.0", "7:(-1920.0, 0.5, 1920.0, 1080.0):1.0"}));
  desktop.setDisplays({{7, {-1920, 0.5, 1920, 1080}, 1}, {1, {0, 0, 1512, 982}, 2}});
  EXPECT_EQ(topology(desktop), first);
  desktop.setScale(7, 2);
  EXPECT_NE(topology(desktop), first);
  desktop.setDisplays({});
  EXPECT_TRUE(topology(desktop).empty());
}

TEST(FrozenPlacement, MapsTheSharedPartToBothPictures) {
  const auto on = FrozenPlacement::make({100, 50, 200, 100}, {0, 0, 1512, 982}, 2, 2);
  ASSERT_TRUE(on);
  EXPECT_EQ(on->source, (Rect{200, 100, 400, 200}));
  EXPECT_EQ(on->destination, (Rect{0, 0, 400, 200}));
  EXPECT_FALSE(FrozenPlacement::make({100, 50, 200, 100}, {-1920, 0, 1920, 1080}, 2, 2));

  // The part on a lower display of a region spanning two: y counts from the region's bottom.
  const auto lower = FrozenPlacement::make({10, 900, 100, 200}, {0, 1000, 800, 600}, 1, 2);
  ASSERT_TRUE(lower);
  EXPECT_EQ(lower->source, (Rect{10, 0, 100, 100}));
  EXPECT_EQ(lower->destination, (Rect{0, 0, 200, 200}));

  EXPECT_FALSE(FrozenPlacement::make({0, 0, 10, 10}, {0, 0, 100, 100}, 2, 1)) << "b above o";
  EXPECT_FALSE(FrozenPlacement::make({0, 0, 0, 10}, {0, 0, 100, 100}, 1, 1)) << "no width";
  EXPECT_FALSE(FrozenPlacement::make({100, 0, 10, 10}, {0, 0, 100, 100}, 1, 1)) << "edge only";
  EXPECT_FALSE(FrozenPlacement::make({0, 0, 10, 10}, {0, 0, 100, 100}, 0, 1));
  EXPECT_FALSE(FrozenPlacement::make({0, 0, 10, 10}, {0, 0, 100, 100}, 1, INFINITY));
}

// Runs a hook on the query's own thread just before the shareable content is read.
class HookedCapture : public platform::ScreenCapture {
 public:
  explicit HookedCapture(sim::SimDesktop& desktop) : desktop_(desktop) {}
  std::function<void()> beforeQuery;
  Expected<platform::ShareableContent, platform::PlatformError> shareableContent(bool a,
                                                                                 bool b) override {
    if (beforeQuery) beforeQuery();
    return desktop_.shareableContent(a, b);
  }
  Expected<Image, platform::PlatformError> captureImage(
      const platform::ContentFilter& f, const platform::CaptureConfiguration& c) override {
    return desktop_.captureImage(f, c);
  }

 private:
  sim::SimDesktop& desktop_;
};

struct FilterRig {
  FilterRig() {
    desktop.setDisplays({{3, {0, 0, 1440, 900}, 2}, {4, {1440, 0, 800, 600}, 1}});
    desktop.addApplication(kHostPid, "host");
    desktop.addApplication(kOwnPid, "helper");
    desktop.addApplication(900, "other");
  }
  std::optional<HelperError> refresh() {
    std::optional<HelperError> error;
    bool done = false;
    spawn(loop, [](CaptureFilters& f, std::optional<HelperError>& e, bool& d) -> Task<void> {
      auto result = co_await f.refresh();
      if (!result) e = result.error();
      d = true;
    }(filters, error, done));
    loop.runUntil([&] { return done; });
    return error;
  }
  ManualClock clock;
  EventLoop loop{clock};
  sim::SimDesktop desktop;
  HookedCapture capture{desktop};
  int parentReads = 0;
  CaptureFilters filters{loop, desktop, capture, {kOwnPid, [this] {
                                                    ++parentReads;
                                                    return kHostPid;
                                                  }}};
};

TEST(CaptureFilters, ExcludeTheHelperAndTheHostOnEveryDisplay) {
  FilterRig rig;
  EXPECT_FALSE(rig.refresh());
  ASSERT_EQ(rig.filters.filters().size(), 2u);
  const auto& first = rig.filters.filters()[0];
  EXPECT_EQ(first.filter, (platform::ContentFilter{3, {}, {kHostPid, kOwnPid}}));
  EXPECT_EQ(first.bounds, (Rect{0, 0, 1440, 900}));
  EXPECT_EQ(first.scale, 2);
  EXPECT_EQ(rig.filters.filters()[1].filter.displayID, 4u);
  EXPECT_EQ(rig.filters.filterTopology(), topology(rig.desktop));
  EXPECT_FALSE(rig.refresh());
  EXPECT_EQ(rig.parentReads, 1) << "the parent is looked up once";
}

TEST(CaptureFilters, FailuresKeepTheEarlierFilters) {
  FilterRig rig;
  ASSERT_FALSE(rig.refresh());
  const Topology built = rig.filters.filterTopology();

  // A display attached while the query runs is not in the map taken before it.
  rig.capture.beforeQuery = [&] {
    rig.desktop.setDisplays(
        {{3, {0, 0, 1440, 900}, 2}, {4, {1440, 0, 800, 600}, 1}, {5, {0, 900, 800, 600}, 1}});
  };
  EXPECT_EQ(rig.refresh(), failure(kDisplayConfigurationChanged));
  // A scale change during the query leaves the same displays but another arrangement.
  rig.desktop.setDisplays({{3, {0, 0, 1440, 900}, 2}, {4, {1440, 0, 800, 600}, 1}});
  rig.capture.beforeQuery = [&] { rig.desktop.setScale(3, 1); };
  EXPECT_EQ(rig.refresh(), failure(kDisplayConfigurationChanged));
  rig.capture.beforeQuery = nullptr;

  rig.desktop.setScale(3, 2);
  rig.desktop.failShareableContent("Screen capture was declined by the user.");
  EXPECT_EQ(rig.refresh()->description, "Screen capture was declined by the user.");
  rig.desktop.failShareableContent(std::nullopt);
  rig.desktop.terminate(kOwnPid);
  EXPECT_EQ(rig.refresh(), failure(kCannotExcludeCaptureWindows));
  EXPECT_EQ(rig.filters.filters().size(), 2u);
  EXPECT_EQ(rig.filters.filterTopology(), built);
}

}  // namespace
}  // namespace orvel::region::testing
