#include "mac_scroll_event_policy.h"
#include "messages.h"
#include "pointer_rest.h"
#include "scroll_fixture.h"

namespace orvel::scroll::testing {
namespace {

using namespace std::chrono_literals;

TEST_F(ScrollHelperTest, CaptureSendsTheRegionsPixelsBetweenTwoChecks) {
  addApp();
  desktop.setDisplays({{1, {0, 0, 1440, 900}, 2.0}});
  desktop.addApplication(kHelperPID, "org.example.helper");
  desktop.addWindow(41, kHelperPID, {1000, 700, 100, 100});  // ours: kept out of pictures
  Json sel = lockTarget();
  ASSERT_EQ(sel["width"], 800);
  request({{"command", "capture"}});
  auto replies = out.take();
  ASSERT_EQ(replies.size(), 1u);
  EXPECT_EQ(replies[0].json,
            (Json{{"ok", true}, {"width", 800}, {"height", 600}, {"length", 800 * 600 * 4}}));
  const auto& px = replies[0].payload;
  ASSERT_EQ(px.size(), 800u * 600 * 4);
  // The region starts at point (200, 200): pixel (400, 400) of the display.
  const std::uint32_t topLeft = sim::simPixel(1, 400, 400);
  EXPECT_EQ(px[0], topLeft & 0xff) << "the first byte is the blue of the top-left pixel";
  for (int y : {0, 1, 299, 599}) {
    for (int x : {0, 1, 555, 799}) {
      std::uint32_t got;
      std::memcpy(&got, px.data() + (size_t(y) * 800 + x) * 4, 4);
      ASSERT_EQ(got, sim::simPixel(1, 400 + x, 400 + y)) << x << "," << y;
    }
  }
  auto filters = desktop.capturedFilters();
  ASSERT_EQ(filters.size(), 1u);
  EXPECT_EQ(filters[0].excludedWindows, std::vector<std::uint32_t>{41});
  EXPECT_EQ(helper.state().configuration->showsCursor, false);
}

TEST_F(ScrollHelperTest, ATargetHoldsExclusionsOnlyWhileAnExcludedWindowOverlapsItsRegion) {
  addApp();
  desktop.setDisplays({{1, {0, 0, 1440, 900}, 1.0}});
  desktop.addApplication(kHostPID, "org.example.host");
  desktop.addWindow(42, kHostPID, {1000, 700, 100, 100});
  EXPECT_EQ(desktop.exclusionHolds(), 0);
  helper.handleRequest({{"command", "select"}});
  loop.runUntilIdle();
  EXPECT_EQ(desktop.exclusionHolds(), 1) << "taken before the overlay shows";
  overlay.drag({200, 200}, {600, 500});
  loop.runUntilIdle();
  EXPECT_EQ(out.take().at(0).json.value("ok", false), true);
  EXPECT_EQ(desktop.exclusionHolds(), 0) << "the host's window lies apart from the region";

  (*desktop.window(42))["kCGWindowBounds"] = {
      {"X", 550}, {"Y", 450}, {"Width", 100}, {"Height", 100}};
  EXPECT_EQ(lockTarget().value("ok", false), true);
  EXPECT_EQ(desktop.exclusionHolds(), 1) << "the host's window meets the region";
  EXPECT_EQ(ask({{"command", "capture"}}).value("ok", false), true);
  EXPECT_EQ(desktop.exclusionHolds(), 1) << "for the life of the target";

  // A selection the user cancels leaves no target, and no hold.
  helper.handleRequest({{"command", "select"}});
  loop.runUntilIdle();
  EXPECT_EQ(desktop.exclusionHolds(), 1) << "the new selection's own";
  ASSERT_TRUE(overlay.keyDown(platform::kEscapeKeyCode));
  loop.runUntilIdle();
  EXPECT_EQ(out.take().at(0).json, (Json{{"ok", true}, {"canceled", true}}));
  EXPECT_EQ(desktop.exclusionHolds(), 0);
  // So does one that fails.
  EXPECT_EQ(selectByDrag("select", {10, 10}, {30, 30}), error(msg::kRegionTooSmall));
  EXPECT_EQ(desktop.exclusionHolds(), 0);
}

TEST_F(ScrollHelperTest, FrameSizeLimitsAndAFailedSetupLeavesNoFrameToDeliver) {
  addApp();
  desktop.setDisplays({{1, {0, 0, 9000, 4000}, 2.0}});
  (*desktop.window(kAppWindow))["kCGWindowBounds"] = {
      {"X", 0}, {"Y", 0}, {"Width", 9000}, {"Height", 4000}};
  auto select = [&](double w, double h) { return selectByDrag("select", {0, 0}, {w, h}); };
  EXPECT_EQ(select(1000, 1000)["width"], 2000);
  EXPECT_EQ(select(1500, 1500), error(msg::kRegionTooLarge));
  EXPECT_EQ(select(8200, 100), error(msg::kRegionTooLarge)) << "16400 pixels wide";
  EXPECT_EQ(select(2000, 1000)["height"], 2000) << "exactly 8,000,000 pixels";
  EXPECT_EQ(select(2000, 1000.5), error(msg::kRegionTooLarge));
  // The failed selection locked its target; no frame of the earlier region may come out.
  ASSERT_TRUE(helper.state().lockedTarget);
  EXPECT_EQ(ask({{"command", "capture"}}), error(msg::kSelectTargetFirst));
  EXPECT_EQ(desktop.captureCount(), 0);
}

TEST_F(ScrollHelperTest, CaptureFailuresReportTheirCause) {
  addApp();
  lockTarget();
  desktop.setScale(1, 2.0);
  desktop.overrideCaptureSize(std::make_pair(800, 600));
  EXPECT_EQ(ask({{"command", "capture"}}), error(msg::kScalingChanged));
  desktop.overrideCaptureSize(std::nullopt);
  desktop.failCapture("The display stream stopped.");
  EXPECT_EQ(ask({{"command", "capture"}}), error("The display stream stopped."));
  desktop.failCapture(std::nullopt);

  // The target moves while the picture is taken: the frame is dropped.
  desktop.setCaptureGate(false);
  helper.handleRequest({{"command", "capture"}});  // checked, now waiting for the picture
  (*desktop.window(kAppWindow))["kCGWindowBounds"]["Y"] = 101;
  desktop.setCaptureGate(true);
  loop.runUntilIdle();
  EXPECT_EQ(out.take().at(0).json, error(msg::kTargetMoved));

  desktop.failShareableContent("The user declined.");
  (*desktop.window(kAppWindow))["kCGWindowBounds"]["Y"] = 100;
  EXPECT_EQ(lockTarget(), error("The user declined."));
  desktop.failShareableContent(std::nullopt);
  desktop.setDisplays({{1, {0, 0, 1440, 900}, 1.0}});
  auto sel = lockTarget();
  EXPECT_EQ(sel["ok"], true);
}

TEST_F(ScrollHelperTest, ActivationPollsWithoutBlockingAndGivesUpAfterFortyPolls) {
  addApp();
  lockTarget();
  const auto t0 = clock.now();
  EXPECT_EQ(ask({{"command", "activate"}}), (Json{{"ok", true}}));
  EXPECT_EQ(clock.now(), t0) << "already frontmost: one poll, no pause";

  desktop.frontmost = 5;
  desktop.activationWorks = false;
  const auto t1 = clock.now();
  helper.handleRequest({{"command", "activate"}});
  helper.handleRequest({{"command", "bogus"}});
  loop.runUntilIdle();
  auto replies = out.take();
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[0].json, error(msg::kUnknownCommand)) << "answered while activation waits";
  EXPECT_EQ(replies[1].json, error(msg::kCannotActivate));
  EXPECT_EQ(clock.now() - t1, Duration(40 * 25ms));

  // Another window of the same application has the focus: it is the target window that must
  // come forward, and the wait holds until it has.
  desktop.frontmost = kAppPID;
  desktop.frontWindow = kAppWindow + 1;
  const auto t2 = clock.now();
  EXPECT_EQ(ask({{"command", "activate"}}), error(msg::kCannotActivate));
  EXPECT_EQ(clock.now() - t2, Duration(40 * 25ms));
  desktop.activationWorks = true;
  desktop.activatedWindows.clear();
  EXPECT_EQ(ask({{"command", "activate"}}), (Json{{"ok", true}}));
  EXPECT_EQ(desktop.activatedWindows, std::vector<std::uint32_t>{kAppWindow});
  EXPECT_EQ(desktop.frontWindow, kAppWindow);

  desktop.addApplication(kAppPID, "org.example.other");
  EXPECT_EQ(ask({{"command", "activate"}}), error(msg::kTargetClosed)) << "pid reused";
  desktop.addApplication(kAppPID, "org.example.reader");
  desktop.terminate(kAppPID);
  EXPECT_EQ(ask({{"command", "activate"}}), error(msg::kTargetClosed));
}

TEST_F(ScrollHelperTest, ActivationWaitsAsLongAsTheDesktopSaysItsAnswerMayTake) {
  addApp();
  lockTarget();
  // A desktop whose script reports the focus back: the activation lands after about 2.5 s.
  desktop.activationWait = 6s;
  desktop.frontmost = 5;
  desktop.activationWorks = false;
  loop.addTimer(2490ms, [&] {
    desktop.frontmost = kAppPID;
    desktop.frontWindow = kAppWindow;
  });
  const auto t0 = clock.now();
  EXPECT_EQ(ask({{"command", "activate"}}), (Json{{"ok", true}}));
  EXPECT_EQ(clock.now() - t0, Duration(2500ms)) << "answered on the poll that saw it land";

  // One that never lands fails with the same message, after the desktop's bound.
  desktop.frontmost = 5;
  desktop.frontWindow.reset();
  const auto t1 = clock.now();
  EXPECT_EQ(ask({{"command", "activate"}}), error(msg::kCannotActivate));
  EXPECT_EQ(clock.now() - t1, Duration(6s));
}

TEST(MacScrollEventPolicy, BurstsForPixelsAndLines) {
  sim::SimScrollEvents port;
  const Rect r500{0, 0, 200, 500};
  auto px = MacScrollEventPolicy::events(port, r500, 0.5, ScrollEventMethod::pixels);
  ASSERT_TRUE(px);
  ASSERT_EQ(px->size(), 3u);
  for (const auto& e : *px) {
    EXPECT_EQ(e.delta1, -83);
    EXPECT_EQ(e.unit, platform::ScrollUnit::pixel);
    EXPECT_EQ(e.wheelCount, 1);
    EXPECT_EQ(e.location, (Point{100, 250}));
    EXPECT_EQ(e.flags, 0u);
    EXPECT_EQ(e.sourceUserData, 340683801932);
    EXPECT_EQ(e.scrollPhase, 0);
    EXPECT_EQ(e.momentumPhase, 0);
  }
  EXPECT_EQ(MacScrollEventPolicy::events(port, r500, -0.5, ScrollEventMethod::pixels)->at(0).delta1,
            83);
  EXPECT_EQ(
      MacScrollEventPolicy::events(port, Rect{0, 0, 10, 100}, 0.001, ScrollEventMethod::pixels)
          ->at(0)
          .delta1,
      0);
  auto lines = MacScrollEventPolicy::events(port, r500, 0.5, ScrollEventMethod::lines);
  ASSERT_EQ(lines->size(), 7u);
  EXPECT_EQ(lines->at(0).delta1, -1);
  EXPECT_EQ(lines->at(0).unit, platform::ScrollUnit::line);
  EXPECT_EQ(MacScrollEventPolicy::events(port, Rect{0, 0, 1, 2000}, 0.8, ScrollEventMethod::lines)
                ->size(),
            12u);
  EXPECT_EQ(MacScrollEventPolicy::events(port, Rect{0, 0, 1, 100}, 0.01, ScrollEventMethod::lines)
                ->size(),
            1u);
  EXPECT_EQ(MacScrollEventPolicy::events(port, r500, -0.3, ScrollEventMethod::lines)->at(0).delta1,
            1);

  for (double f : {0.8, -0.8}) {
    EXPECT_TRUE(MacScrollEventPolicy::events(port, r500, f, ScrollEventMethod::pixels));
  }
  for (double f : {0.0, 0.80001, -0.81, std::nan(""), HUGE_VAL}) {
    EXPECT_FALSE(MacScrollEventPolicy::events(port, r500, f, ScrollEventMethod::pixels)) << f;
  }
  EXPECT_FALSE(
      MacScrollEventPolicy::events(port, Rect{0, 0, 0, 500}, 0.5, ScrollEventMethod::pixels));
  EXPECT_FALSE(
      MacScrollEventPolicy::events(port, Rect{0, 0, 1, 1e10}, 0.8, ScrollEventMethod::pixels))
      << "a step beyond 32 bits";
  port.sourceWorks = false;
  EXPECT_FALSE(MacScrollEventPolicy::events(port, r500, 0.5, ScrollEventMethod::pixels));
  port.sourceWorks = true;
  port.failCreationNumber = port.created + 2;
  EXPECT_FALSE(MacScrollEventPolicy::events(port, r500, 0.5, ScrollEventMethod::pixels));
  EXPECT_TRUE(port.posted.empty());
}

TEST_F(ScrollHelperTest, ScrollPostsPacedEventsAndStopsWhenTheCheckFails) {
  addApp();
  lockTarget();
  // The selection and every scroll leave the pointer below the region, inside the window (for
  // desktops that draw it into frames and cannot put it back).
  const Point rest{400, 500 + kCursorReach};
  EXPECT_EQ(scrollEvents.rests, std::vector<Point>{rest});
  const auto t0 = clock.now();
  EXPECT_EQ(ask({{"command", "scroll"}, {"fraction", 0.5}}), (Json{{"ok", true}}));
  EXPECT_EQ(clock.now() - t0, Duration(90ms));
  ASSERT_EQ(scrollEvents.posted.size(), 3u);
  EXPECT_EQ(scrollEvents.posted[0].delta1, -50);
  EXPECT_EQ(scrollEvents.posted[0].location, (Point{400, 350}));
  EXPECT_EQ(scrollEvents.rests, (std::vector<Point>{rest, rest}));

  EXPECT_EQ(ask({{"command", "scroll"}}), error(msg::kCannotCreateScrollEvents));
  EXPECT_EQ(ask({{"command", "scroll"}, {"fraction", "0.5"}}),
            error(msg::kCannotCreateScrollEvents));
  scrollEvents.failCreationNumber = scrollEvents.created + 2;
  EXPECT_EQ(ask({{"command", "scroll"}, {"fraction", 0.5}}), error(msg::kCannotCreateScrollEvents));
  EXPECT_EQ(scrollEvents.posted.size(), 3u) << "nothing posted from a failed burst";

  // Switch to lines (7 events for 300 points at 0.9... use 0.8: ceil(6) = 6); the window moves
  // while the third event is due.
  EXPECT_EQ(ask({{"command", "fallback"}}), (Json{{"ok", true}, {"switched", true}}));
  EXPECT_EQ(ask({{"command", "fallback"}}), (Json{{"ok", true}, {"switched", false}}));
  scrollEvents.posted.clear();
  helper.handleRequest({{"command", "scroll"}, {"fraction", 0.8}});
  loop.runUntil([&] { return scrollEvents.posted.size() == 2; });
  (*desktop.window(kAppWindow))["kCGWindowBounds"]["X"] = 101;
  loop.runUntilIdle();
  EXPECT_EQ(out.take().at(0).json, error(msg::kTargetMoved));
  EXPECT_EQ(scrollEvents.posted.size(), 2u);
  EXPECT_EQ(scrollEvents.posted[0].unit, platform::ScrollUnit::line);

  (*desktop.window(kAppWindow))["kCGWindowBounds"]["X"] = 100;
  EXPECT_EQ(lockTarget()["ok"], true);
  EXPECT_EQ(ask({{"command", "fallback"}}), (Json{{"ok", true}, {"switched", true}}))
      << "a new selection goes back to pixels";
  desktop.keysDown.insert(53);
  EXPECT_EQ(ask({{"command", "fallback"}}), error(msg::kEscapePressed));
  EXPECT_EQ(helper.state().scrollMethod, ScrollEventMethod::lines);
}

}  // namespace
}  // namespace orvel::scroll::testing
