#include "messages.h"
#include "scroll_fixture.h"

namespace orvel::scroll::testing {
namespace {

using Kind = LineReader::Kind;

TEST_F(ScrollHelperTest, MalformedLinesAndUnknownCommandsAreRefused) {
  for (const char* text : {"[]", "\"select\"", "", "{", "12", "null"}) {
    helper.receive({Kind::Line, text});
    auto replies = out.take();
    ASSERT_EQ(replies.size(), 1u) << text;
    EXPECT_EQ(replies[0].json, error(msg::kInvalidCommand)) << text;
  }
  helper.receive({Kind::OverLong, {}});
  EXPECT_EQ(out.take().at(0).json, error(msg::kInvalidCommand));
  for (const char* text : {"{}", R"({"command":"Select"})", R"({"command":1})",
                           R"({"command":null})", R"({"command":"close "})"}) {
    helper.receive({Kind::Line, text});
    loop.runUntilIdle();
    auto replies = out.take();
    ASSERT_EQ(replies.size(), 1u) << text;
    EXPECT_EQ(replies[0].json, error(msg::kUnknownCommand)) << text;
  }
  EXPECT_TRUE(exits.empty());
}

TEST_F(ScrollHelperTest, CloseRepliesOnceAndEndsWithStatusZero) {
  addApp();
  EXPECT_EQ(lockTarget()["ok"], true);
  EXPECT_EQ(ask({{"command", "close"}}), (Json{{"ok", true}}));
  EXPECT_EQ(exits, std::vector<int>{0});
  EXPECT_FALSE(helper.state().lockedTarget);
  request({{"command", "close"}});
  EXPECT_TRUE(out.take().empty()) << "nothing after the end";
}

TEST_F(ScrollHelperTest, EndOfInputClearsTheTargetAndEndsSilently) {
  addApp();
  lockTarget();
  helper.receive({Kind::End, {}});
  loop.runUntilIdle();
  EXPECT_EQ(exits, std::vector<int>{0});
  EXPECT_FALSE(helper.state().lockedTarget);
  EXPECT_TRUE(out.take().empty());
}

TEST_F(ScrollHelperTest, AHostThatClosedOurOutputEndsTheHelperQuietly) {
  out.broken = true;
  request({{"command", "activate"}});
  EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(ScrollHelperTest, CommandsWithoutATargetFailTheWayTheirChecksSay) {
  EXPECT_EQ(ask({{"command", "capture"}}), error(msg::kTargetMoved));
  EXPECT_EQ(ask({{"command", "scroll"}, {"fraction", 0.5}}), error(msg::kTargetMoved));
  EXPECT_EQ(ask({{"command", "fallback"}}), error(msg::kTargetMoved));
  const auto t0 = clock.now();
  EXPECT_EQ(ask({{"command", "activate"}}), error(msg::kTargetClosed));
  EXPECT_EQ(clock.now(), t0) << "no waiting without a target";

  desktop.keysDown.insert(platform::kEscapeKeyCode);
  EXPECT_EQ(ask({{"command", "capture"}}), error(msg::kEscapePressed));
  desktop.accessibility = false;
  EXPECT_EQ(ask({{"command", "capture"}}), error(msg::kPermissionUnavailable))
      << "a missing permission wins over Escape";
}

struct ValidateTest : ScrollHelperTest {
  void SetUp() override {
    addApp();
    ASSERT_EQ(lockTarget()["ok"], true);
    ASSERT_TRUE(helper.validate());
  }
  std::string check() {
    auto r = helper.validate();
    return r ? "ok" : r.error().description;
  }
};

TEST_F(ValidateTest, ChecksRunInOrderAndChangeNothing) {
  const auto before = helper.state().lockedTarget;
  // Covered and unfocused: focus is reported first.
  desktop.addApplication(200, "org.example.other");
  desktop.addWindow(20, 200, {300, 300, 100, 100});
  EXPECT_EQ(check(), msg::kRegionCovered);
  desktop.frontmost = 200;
  EXPECT_EQ(check(), msg::kTargetLostFocus);
  desktop.frontmost.reset();
  EXPECT_EQ(check(), msg::kTargetLostFocus);
  (*desktop.window(kAppWindow))["kCGWindowName"] = "Other page";
  EXPECT_EQ(check(), msg::kTargetContentChanged);
  (*desktop.window(kAppWindow))["kCGWindowBounds"]["X"] = 100.25;
  EXPECT_EQ(check(), msg::kTargetMoved);
  desktop.keysDown.insert(platform::kEscapeKeyCode);
  EXPECT_EQ(check(), msg::kEscapePressed);
  desktop.screenRecording = false;
  EXPECT_EQ(check(), msg::kPermissionUnavailable);
  EXPECT_EQ(helper.state().lockedTarget->windowBounds, before->windowBounds);
}

TEST_F(ValidateTest, TitleRules) {
  (*desktop.window(kAppWindow)).erase("kCGWindowName");
  EXPECT_EQ(check(), "ok") << "a window that no longer reports a title passes";
  (*desktop.window(kAppWindow))["kCGWindowName"] = 42;
  EXPECT_EQ(check(), "ok") << "a title of another type is no title";
  (*desktop.window(kAppWindow))["kCGWindowName"] = "Page ";
  EXPECT_EQ(check(), msg::kTargetContentChanged);
  helper.state().targetTitle.reset();
  EXPECT_EQ(check(), "ok") << "a target locked without a title is never checked";
}

TEST_F(ValidateTest, TheTargetMustStayTheSameWindowOfTheSameApplication) {
  desktop.removeWindow(kAppWindow);
  EXPECT_EQ(check(), msg::kTargetMoved) << "gone from the on-screen list";
  desktop.addWindow(kAppWindow, kAppPID, kAppFrame, 0, 1.0, "Page");
  EXPECT_EQ(check(), "ok");
  desktop.addApplication(kAppPID, "org.example.impostor");  // the pid was reused
  EXPECT_EQ(check(), msg::kTargetMoved);
  desktop.addApplication(kAppPID, "org.example.reader");
  desktop.windowList() = Json::object();  // an unreadable list counts as empty
  EXPECT_EQ(check(), msg::kTargetMoved);
}

TEST_F(ValidateTest, CoveringWindowsAndTheOneNotificationReRead) {
  desktop.addApplication(200, "org.example.other");
  desktop.addWindow(20, 200, {300, 300, 100, 100}, 0, 0.1);
  EXPECT_EQ(check(), "ok") << "alpha 0.1 does not cover";
  (*desktop.window(20))["kCGWindowAlpha"] = 0.11;
  EXPECT_EQ(check(), msg::kRegionCovered);
  (*desktop.window(20))["kCGWindowLayer"] = 2147483630;
  EXPECT_EQ(check(), "ok") << "the cursor never covers";

  // A full-screen notification window whose first reading fails is read once more.
  constexpr std::int32_t kNotifier = 60;
  ScrollHelperTest::desktop.addApplication(kNotifier, "com.apple.notificationcenterui");
  // The policy was built at selection time without the notifier: rebuild with a fresh helper.
  ScrollCaptureHelper fresh{loop, ports, out, {kHelperPID, kHostPID}, [](int) {}};
  fresh.state().lockedTarget = helper.state().lockedTarget;
  fresh.state().targetTitle = helper.state().targetTitle;
  desktop.addWindow(30, kNotifier, {0, 0, 1440, 900}, 21, 1.0, std::nullopt, true, 1);
  desktop.windowListReads = 0;
  auto result = fresh.validate();
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().description, msg::kRegionCovered) << "unreadable: judged by its frame";
  EXPECT_EQ(desktop.windowListReads, 3) << "check 4, check 8 and the one re-read";

  Json banner = {{"AXRole", "AXGroup"},
                 {"AXSubrole", "AXNotificationCenterBanner"},
                 {"AXPosition", {1100, 20}},
                 {"AXSize", {300, 80}}};
  auto framed = [](const char* role, Json extra) {
    Json e = {{"AXRole", role}, {"AXPosition", {0, 0}}, {"AXSize", {1440, 900}}};
    e.update(extra);
    return e;
  };
  Json area = {{"AXRole", "AXScrollArea"},
               {"AXPosition", {1000, 0}},
               {"AXSize", {440, 900}},
               {"AXChildren", {banner}}};
  Json hosting = framed("AXGroup", {{"AXSubrole", "AXHostingView"}, {"AXChildren", {area}}});
  Json window = framed("AXWindow", {{"AXSubrole", "AXSystemDialog"}, {"AXChildren", {hosting}}});
  accessibility.setTree(kNotifier, {{"AXWindows", {window}}});
  desktop.windowListReads = 0;
  EXPECT_TRUE(fresh.validate()) << "content read: the banner is far from the region";
  EXPECT_EQ(desktop.windowListReads, 2);
}

TEST_F(ValidateTest, DocksAndNotificationHostsStartedAfterTheSelectionAreRecognised) {
  // The policy was made at the selection, before either of them ran.
  constexpr std::int32_t kDock = 50;
  constexpr std::int32_t kNotifier = 60;
  auto at = [](const char* role, Rect r, Json children = Json::array()) {
    return Json{{"AXRole", role},
                {"AXPosition", {r.x, r.y}},
                {"AXSize", {r.width, r.height}},
                {"AXChildren", std::move(children)}};
  };
  auto dockLists = [&](Rect list) {
    accessibility.setTree(kDock, at("AXApplication", {0, 0, 1, 1}, {at("AXList", list)}));
  };
  desktop.addApplication(kDock, "com.apple.dock");
  dockLists({300, 840, 800, 60});
  desktop.addWindow(30, kDock, {0, 450, 1440, 450}, 20);
  EXPECT_EQ(check(), "ok") << "the dock's frame meets the region, its lists do not";
  EXPECT_EQ(helper.windowPolicy().dockPIDs(), std::set<std::int32_t>{kDock});
  dockLists({300, 460, 800, 60});
  EXPECT_EQ(check(), msg::kRegionCovered) << "its lists over the region";
  dockLists({300, 840, 800, 60});

  desktop.addApplication(kNotifier, "com.apple.notificationcenterui");
  Json banner = at("AXGroup", {1100, 20, 300, 80});
  banner["AXSubrole"] = "AXNotificationCenterBanner";
  Json hosting =
      at("AXGroup", {0, 0, 1440, 900}, {at("AXScrollArea", {1000, 0, 440, 900}, {banner})});
  hosting["AXSubrole"] = "AXHostingView";
  Json window = at("AXWindow", {0, 0, 1440, 900}, {hosting});
  window["AXSubrole"] = "AXSystemDialog";
  accessibility.setTree(kNotifier, {{"AXWindows", {window}}});
  desktop.addWindow(31, kNotifier, {0, 0, 1440, 900}, 21, 1.0, std::nullopt, true, 1);
  EXPECT_EQ(check(), "ok") << "the popup's banner is far from the region";
  EXPECT_EQ(helper.windowPolicy().notificationPIDs(), std::set<std::int32_t>{kNotifier});
}

}  // namespace
}  // namespace orvel::scroll::testing
