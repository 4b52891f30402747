#include "messages.h"
#include "platform/sim/sim_overlay.h"
#include "scroll_fixture.h"

namespace orvel::scroll::testing {
namespace {

using namespace std::chrono_literals;

TEST_F(ScrollHelperTest, RegionReturnsTheDraggedRectangleOrACancel) {
  const auto t0 = clock.now();
  Json r = selectByDrag("region", {10.5, 20.5}, {110.2, 220.9});
  EXPECT_EQ(r, (Json{{"ok", true},
                     {"region", {{"x", 10.0}, {"y", 20.0}, {"width", 100.0}, {"height", 201.0}}}}));
  EXPECT_EQ(clock.now() - t0, Duration(150ms)) << "the pause after the overlay closed";
  EXPECT_EQ(overlay.openPanels(), 0);

  EXPECT_EQ(selectByDrag("region", {10, 10}, {13, 13})["region"]["width"], 3.0);
  const Json canceled = {{"ok", true}, {"canceled", true}};
  EXPECT_EQ(selectByDrag("region", {10, 10}, {12, 60}), canceled) << "2 x 50 is too small";
  EXPECT_EQ(selectByDrag("region", {10, 10}, {10, 10}), canceled) << "a click";

  const auto t1 = clock.now();
  request({{"command", "region"}});
  overlay.keyDown(53);
  loop.runUntilIdle();
  EXPECT_EQ(out.take().at(0).json, canceled);
  EXPECT_EQ(clock.now(), t1) << "no pause after a cancel";

  // The button was pressed before the overlay appeared: a release alone cancels.
  request({{"command", "region"}});
  overlay.mouseUp({300, 300});
  loop.runUntilIdle();
  EXPECT_EQ(out.take().at(0).json, canceled);

  desktop.screenRecording = false;
  EXPECT_EQ(ask({{"command", "region"}}), error(msg::kAllowScreenRecording));
  EXPECT_EQ(overlay.panels().size(), 6u) << "no overlay without the permission";
}

TEST_F(ScrollHelperTest, SelectNamesAWindowListThatCannotBeReadBeforeAnyOverlay) {
  addApp();
  desktop.windowListUnreadable = "The window list service does not answer.";
  EXPECT_EQ(ask({{"command", "select"}}), error("The window list service does not answer."));
  EXPECT_EQ(overlay.panels().size(), 0u);
  // Neither a plain region nor a capture before any selection reads the list.
  EXPECT_EQ(ask({{"command", "capture"}}), error(msg::kTargetMoved));
  request({{"command", "region"}});
  EXPECT_EQ(overlay.openPanels(), 1);
  desktop.windowListUnreadable.reset();
  overlay.keyDown(53);
  loop.runUntilIdle();
  out.take();
  EXPECT_EQ(lockTarget()["ok"], true) << "a list that can be read again serves";
}

TEST_F(ScrollHelperTest, OverlayCoversEveryScreenAndOutlinesTheDragOnEach) {
  desktop.setDisplays({{1, {0, 0, 1000, 800}, 1.0}, {2, {1000, -100, 800, 600}, 2.0}});
  request({{"command", "region"}});
  ASSERT_EQ(overlay.openPanels(), 2);
  EXPECT_EQ(overlay.panels()[0]->options.frame, (Rect{0, 0, 1000, 800}));
  EXPECT_EQ(overlay.panels()[1]->options.frame, (Rect{1000, 300, 800, 600}));
  EXPECT_EQ(overlay.panels()[1]->options.level, 1000);
  EXPECT_TRUE(overlay.panels()[1]->key) << "the last panel is the key window";

  for (const auto& panel : overlay.panels()) {
    const auto& before = panel->content;
    EXPECT_FALSE(before.picture) << "the live screen shows through";
    EXPECT_EQ(before.veil, (platform::Color{0, 0, 0, 0.22}));
    EXPECT_EQ(before.instruction, (platform::PanelText{msg::kRegionInstruction, 22}));
    EXPECT_FALSE(before.selection);
  }

  overlay.mouseDown({900, 100});
  overlay.mouseDragged({1100, 250});
  EXPECT_EQ(overlay.panels()[0]->selectionChanges, 1);
  EXPECT_EQ(overlay.panels()[1]->selectionChanges, 1);
  // Region (900, 100, 200, 150) in window coordinates of each panel (y up from its bottom).
  EXPECT_EQ(overlay.panels()[0]->content.selection, (platform::Outline{{900, 550, 200, 150}, 2}));
  EXPECT_EQ(overlay.panels()[1]->content.selection, (platform::Outline{{-100, 250, 200, 150}, 2}));
  // A press starts over: the outline goes until the next drag.
  overlay.mouseDown({900, 100});
  EXPECT_FALSE(overlay.panels()[0]->content.selection);
  overlay.mouseDragged({1100, 250});
  overlay.mouseUp({1100, 250});
  loop.runUntilIdle();
  EXPECT_EQ(out.take().at(0).json["region"]["x"], 900.0);
}

TEST_F(ScrollHelperTest, ASecondSelectionCancelsTheOneWaitingForTheUser) {
  request({{"command", "region"}});
  request({{"command", "region"}});
  auto replies = out.take();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].json, (Json{{"ok", true}, {"canceled", true}}));
  EXPECT_EQ(overlay.openPanels(), 1);
  overlay.drag({10, 10}, {50, 50});
  loop.runUntilIdle();
  EXPECT_EQ(out.take().at(0).json["region"]["width"], 40.0);
}

TEST_F(ScrollHelperTest, OtherCommandsAreAnsweredWhileTheOverlayWaits) {
  addApp();
  request({{"command", "select"}});
  EXPECT_EQ(ask({{"command", "activate"}}), error(msg::kTargetClosed));
  EXPECT_EQ(ask({{"command", "bogus"}}), error(msg::kUnknownCommand));
  overlay.drag({200, 200}, {600, 500});
  loop.runUntilIdle();
  EXPECT_EQ(out.take().at(0).json["ok"], true);
}

TEST_F(ScrollHelperTest, SelectLocksTheWindowUnderTheRegion) {
  addApp();
  helper.state().scrollMethod = ScrollEventMethod::lines;
  Json r = selectByDrag("select", {200, 200}, {600, 500});
  EXPECT_EQ(r, (Json{{"ok", true},
                     {"region", {{"x", 200.0}, {"y", 200.0}, {"width", 400.0}, {"height", 300.0}}},
                     {"screen", {{"x", 0.0}, {"y", 0.0}, {"width", 1440.0}, {"height", 900.0}}},
                     {"width", 400},
                     {"height", 300},
                     {"scale", 1.0}}));
  const auto& s = helper.state();
  ASSERT_TRUE(s.lockedTarget);
  EXPECT_EQ(s.lockedTarget->windowID, kAppWindow);
  EXPECT_EQ(s.lockedTarget->bundleID, "org.example.reader");
  EXPECT_EQ(s.lockedTarget->point, (Point{400, 350}));
  EXPECT_EQ(s.targetTitle, "Page");
  EXPECT_EQ(s.scrollMethod, ScrollEventMethod::pixels);
  EXPECT_EQ(s.chosenRegion, (Rect{200, 200, 400, 300}));
  EXPECT_EQ(desktop.activations, std::vector<std::int32_t>{kAppPID});
  EXPECT_EQ(desktop.activatedWindows, std::vector<std::uint32_t>{kAppWindow});
}

TEST_F(ScrollHelperTest, SelectChecksTheRegionInOrder) {
  addApp();
  desktop.setDisplays({{1, {0, 0, 1440, 900}, 1.0}, {2, {1440, 0, 1000, 900}, 1.5}});
  EXPECT_EQ(selectByDrag("select", {200, 200}, {200, 200}), error(msg::kRegionTooSmall));
  EXPECT_EQ(selectByDrag("select", {200, 200}, {263, 300}), error(msg::kRegionTooSmall));
  EXPECT_EQ(selectByDrag("select", {200, 200}, {264, 300})["ok"], true);
  EXPECT_EQ(selectByDrag("select", {200.1, 200}, {264, 300})["region"]["width"], 64.0)
      << "63.9 wide rounds up to 64";
  EXPECT_EQ(selectByDrag("select", {1400, 200}, {1500, 400}), error(msg::kRegionNotOnOneDisplay));
  EXPECT_EQ(selectByDrag("select", {800, 200}, {950, 400}), error(msg::kRegionNotInWindow))
      << "centre over the window, region reaching outside it";
  EXPECT_EQ(selectByDrag("select", {1500, 200}, {1700, 400}), error(msg::kRegionNotInWindow));

  // The helper's and the host's own windows are never targets; the window behind them is.
  desktop.addWindow(40, kHostPID, {150, 150, 500, 400});
  desktop.addWindow(41, kHelperPID, {150, 150, 500, 400});
  EXPECT_EQ(selectByDrag("select", {200, 200}, {600, 500})["ok"], true);
  EXPECT_EQ(helper.state().lockedTarget->windowID, kAppWindow);

  desktop.addApplication(kAppPID, std::nullopt);
  EXPECT_EQ(selectByDrag("select", {200, 200}, {600, 500}), error(msg::kCannotIdentifyTarget));
  EXPECT_FALSE(helper.state().lockedTarget);

  // The scale of the display: 101 points at 1.5 are 151 pixels.
  desktop.addApplication(kAppPID, "org.example.reader");
  desktop.addWindow(50, kAppPID, {1500, 100, 800, 600}, 0, 1.0, "Page");
  Json r = selectByDrag("select", {1600, 200}, {1701, 300});
  EXPECT_EQ(r["width"], 151);
  EXPECT_EQ(r["height"], 150);
  EXPECT_EQ(r["scale"], 1.5);
}

TEST_F(ScrollHelperTest, SelectNeedsItsPermissionsAndACancelLocksNothing) {
  addApp();
  desktop.postEvents = false;
  EXPECT_EQ(ask({{"command", "select"}}), error(msg::kNeedAccessibility));
  desktop.postEvents = true;
  desktop.accessibility = false;
  EXPECT_EQ(ask({{"command", "select"}}), error(msg::kNeedAccessibility));
  desktop.screenRecording = false;
  EXPECT_EQ(ask({{"command", "select"}}), error(msg::kAllowScreenRecording));
  // A platform that names what is missing gives its own reply.
  desktop.denial = "the compositor offers no zwlr_screencopy_manager_v1";
  EXPECT_EQ(ask({{"command", "select"}}), error(*desktop.denial));
  EXPECT_EQ(ask({{"command", "region"}}), error(*desktop.denial));
  desktop.screenRecording = true;
  EXPECT_EQ(ask({{"command", "select"}}), error(*desktop.denial));
  desktop.denial.reset();
  EXPECT_EQ(overlay.panels().size(), 0u);
  desktop.screenRecording = desktop.accessibility = true;

  lockTarget();
  ASSERT_TRUE(helper.state().lockedTarget);
  request({{"command", "select"}});
  EXPECT_FALSE(helper.state().lockedTarget) << "no target while the user drags";
  overlay.keyDown(53);
  loop.runUntilIdle();
  EXPECT_EQ(out.take().at(0).json, (Json{{"ok", true}, {"canceled", true}}));
  EXPECT_FALSE(helper.state().lockedTarget);
}

}  // namespace
}  // namespace orvel::scroll::testing
