#include <gtest/gtest.h>
#include <unistd.h>

#include "helper_rig.h"
#include "messages.h"
#include "request_reader.h"

namespace orvel::region::testing {
namespace {

Json prepare(std::int64_t id) {
  return {{"command", "prepare"}, {"id", id}};
}

const Json kCanceled = {{"ok", true}, {"canceled", true}};

Json canceled(std::int64_t id) {
  Json reply = kCanceled;
  reply["id"] = id;
  return reply;
}

TEST(RequestLoop, LinesLongerThan4095BytesAndNonObjectsAreDroppedSilently) {
  HelperRig rig;
  rig.desktop.accessibility = false;  // every "prepare" then answers at once
  const std::string head = R"({"command":"prepare","id":1,"pad":")";
  const std::string tail = R"("})";
  const std::string exact = head + std::string(4095 - head.size() - tail.size(), 'x') + tail;
  ASSERT_EQ(exact.size(), 4095u);
  rig.send(exact);
  ASSERT_EQ(rig.lines.size(), 1u);
  EXPECT_EQ(rig.lastReply()["id"], 1);

  const std::string over = head + std::string(4096 - head.size() - tail.size(), 'x') + tail;
  rig.send(over);
  rig.send(R"([{"command":"prepare","id":2}])");
  rig.send(R"({"command":"prepare",)");
  rig.send("{}");
  rig.send(R"({"command":7,"id":3})");
  rig.send(R"({"command":"dance","id":3})");
  EXPECT_EQ(rig.lines.size(), 1u);
}

TEST(RequestLoop, IdIsTruncatedAndDefaultsToZero) {
  HelperRig rig;
  rig.desktop.accessibility = false;
  rig.send(R"({"command":"prepare","id":7.9})");
  rig.send(R"({"command":"prepare"})");
  rig.send(R"({"command":"prepare","id":"5"})");
  rig.send(R"({"command":"prepare","id":-7.9})");
  rig.send(R"({"command":"prepare","id":1e300})");
  const auto replies = rig.replies();
  ASSERT_EQ(replies.size(), 5u);
  EXPECT_EQ(
      replies[0],
      Json({{"id", 7}, {"ok", false}, {"permission", true}, {"error", kAccessibilityRequired}}));
  EXPECT_EQ(replies[1]["id"], 0);
  EXPECT_EQ(replies[2]["id"], 0);
  EXPECT_EQ(replies[3]["id"], -7);
  EXPECT_EQ(replies[4]["id"], std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(rig.lines[0].find("\": "), std::string::npos) << "replies are compact";
  EXPECT_EQ(rig.lines[0].find(", \""), std::string::npos) << "replies are compact";
}

TEST(RequestLoop, PermissionsDecideWhetherACaptureStarts) {
  HelperRig denied(false);
  denied.desktop.postEvents = false;
  denied.start();
  EXPECT_FALSE(denied.shield.installed());
  // Granting the permission later does not help: the shield is only installed at start-up.
  denied.desktop.postEvents = true;
  denied.request(prepare(4));
  EXPECT_EQ(denied.lastReply()["permission"], true);
  EXPECT_EQ(denied.overlay.openPanels(), 0);

  HelperRig failing(false);
  failing.shield.installable = false;
  failing.start();
  failing.request(prepare(5));
  EXPECT_EQ(failing.lastReply()["permission"], true);

  HelperRig revoked;
  EXPECT_EQ(revoked.shield.eventMask(), 0xE4004FEu);
  revoked.desktop.accessibility = false;
  revoked.request(prepare(6));
  EXPECT_EQ(revoked.lastReply()["error"], kAccessibilityRequired);
  EXPECT_FALSE(revoked.helper.active());
}

TEST(RequestLoop, PrepareDuringACaptureFirstCancelsTheEarlierOne) {
  HelperRig rig;
  rig.request(prepare(1));
  EXPECT_TRUE(rig.lines.empty());
  EXPECT_TRUE(rig.shield.enabled());
  rig.request(prepare(2));
  ASSERT_EQ(rig.lines.size(), 1u);
  EXPECT_EQ(rig.lastReply(), canceled(1));
  ASSERT_TRUE(rig.helper.active());
  EXPECT_EQ(rig.helper.active()->id, 2);
  EXPECT_EQ(rig.overlay.openPanels(), 1);
  // The shield went straight from the first capture to the second: an Escape pressed during the
  // handover is not lost, and it ends the second capture, not some other.
  EXPECT_EQ(rig.shield.timesLowered(), 0);
  EXPECT_TRUE(rig.shield.enabled());
  EXPECT_FALSE(rig.shield.key(platform::kEscapeKeyCode));
  rig.run();
  EXPECT_EQ(rig.lastReply(), canceled(2));
  EXPECT_EQ(rig.shield.timesLowered(), 1);

  // A second capture with the same id is a capture of its own.
  rig.request(prepare(2));
  rig.request(prepare(2));
  EXPECT_EQ(rig.lastReply(), canceled(2));
  EXPECT_EQ(rig.helper.active()->id, 2);
  EXPECT_TRUE(rig.shield.enabled());
  EXPECT_FALSE(rig.shield.key(platform::kEscapeKeyCode));
  rig.run();
  EXPECT_EQ(rig.replies().size(), 4u);
  EXPECT_FALSE(rig.helper.active());

  // The new capture may be refused; the earlier one is still cancelled first.
  rig.request(prepare(7));
  rig.desktop.accessibility = false;
  rig.request(prepare(3));
  const auto replies = rig.replies();
  ASSERT_EQ(replies.size(), 6u);
  EXPECT_EQ(replies[4], canceled(7));
  EXPECT_EQ(replies[5]["id"], 3);
  EXPECT_EQ(replies[5]["permission"], true);
  EXPECT_FALSE(rig.shield.enabled());
}

TEST(RequestLoop, TheDesktopsEventsEndOnlyTheCaptureWaitingForInput) {
  HelperRig rig;
  // Nothing waits: neither event writes a reply.
  rig.backend.loseDisplay();
  rig.backend.takeInput();
  rig.run();
  EXPECT_TRUE(rig.lines.empty());

  // A lost display ends the waiting capture as Escape would.
  rig.request(prepare(1));
  ASSERT_TRUE(rig.helper.active());
  rig.backend.loseDisplay();
  rig.run();
  EXPECT_EQ(rig.lastReply(), canceled(1));
  EXPECT_FALSE(rig.helper.active());

  // Input that another client holds fails the capture that raised the shield, with a message.
  rig.request(prepare(2));
  rig.backend.takeInput();
  rig.run();
  EXPECT_EQ(rig.lastReply(), (Json{{"id", 2}, {"ok", false}, {"error", kInputUnavailable}}));
  EXPECT_FALSE(rig.helper.active());
  // Told while one capture held the shield but handled after the next took it over: the later
  // capture goes on.
  rig.request(prepare(3));
  rig.backend.takeInput();
  rig.request(prepare(4));
  rig.run();
  EXPECT_EQ(rig.lines.size(), 3u);
  EXPECT_EQ(rig.lastReply(), canceled(3));
  ASSERT_TRUE(rig.helper.active());
  EXPECT_EQ(rig.helper.active()->id, 4);
}

TEST(RequestLoop, CaptureAndCancelNamingAnotherIdAreIgnored) {
  HelperRig rig;
  rig.request(prepare(1));
  rig.request(Json{{"command", "cancel"}, {"id", 2}});
  rig.request(Json{{"command", "capture"}, {"id", 2}, {"path", "/nonexistent/x.png"}});
  rig.request(Json{{"command", "capture"}, {"id", 1}, {"path", 5}});
  EXPECT_TRUE(rig.lines.empty());
  EXPECT_FALSE(rig.helper.active()->task.has_value());
  rig.request(Json{{"command", "cancel"}, {"id", 1}});
  EXPECT_EQ(rig.lastReply(), canceled(1));
  rig.request(Json{{"command", "cancel"}, {"id", 1}});
  EXPECT_EQ(rig.lines.size(), 1u);
}

TEST(RequestLoop, QuitAndEndOfInputEndTheHelperAfterTheCancelReply) {
  HelperRig idle;
  idle.request(Json{{"command", "quit"}});
  EXPECT_EQ(idle.helper.exitStatus(), 0);
  EXPECT_TRUE(idle.lines.empty());
  idle.request(prepare(1));
  EXPECT_TRUE(idle.lines.empty()) << "nothing is handled after quit";

  HelperRig busy;
  busy.request(prepare(9));
  busy.request(Json{{"command", "quit"}, {"id", 3}});
  EXPECT_EQ(busy.lines, std::vector<std::string>{encodeJson(canceled(9)).value()});
  EXPECT_EQ(busy.helper.exitStatus(), 0);

  HelperRig ended;
  ended.helper.endOfInput();
  EXPECT_EQ(ended.helper.exitStatus(), 0);
  EXPECT_TRUE(ended.lines.empty());

  HelperRig endedBusy;
  endedBusy.request(prepare(4));
  endedBusy.helper.endOfInput();
  EXPECT_EQ(endedBusy.lastReply(), canceled(4));
  EXPECT_EQ(endedBusy.helper.exitStatus(), 0);
}

TEST(RequestLoop, ReaderDropsOverLongLinesAndReportsTheEnd) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  ManualClock clock;
  EventLoop loop(clock);
  std::vector<std::string> lines;
  bool ended = false;
  {
    RequestReader reader(
        loop, fds[0], [&](std::string line) { lines.push_back(std::move(line)); },
        [&] {
          ended = true;
          loop.stop();
        });
    reader.start();
    const std::string input =
        std::string(4095, 'a') + "\n" + std::string(4096, 'b') + "\r\n{\"command\":\"quit\"}\r\n";
    ASSERT_EQ(::write(fds[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
    ::close(fds[1]);
    loop.run();  // until the end of input stops it
    EXPECT_TRUE(ended);
  }
  ::close(fds[0]);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), 4095u);
  EXPECT_EQ(lines[1], R"({"command":"quit"})");
}

TEST(InputShield, SwallowsEverythingWhileUpAndOnlyEscapeAndTheLeftButtonAct) {
  HelperRig rig;
  EXPECT_TRUE(rig.shield.leftDown({5, 5})) << "no capture: input passes";
  rig.request(prepare(1));
  auto session = rig.helper.active();

  using namespace platform;
  for (std::uint32_t type : {kRightMouseDown, kRightMouseUp, kRightMouseDragged, kOtherMouseDown,
                             kOtherMouseUp, kOtherMouseDragged, kScrollWheel}) {
    EXPECT_FALSE(rig.shield.deliver({type, {10, 10}, 0})) << type;
  }
  EXPECT_FALSE(rig.shield.key(36));
  EXPECT_FALSE(rig.shield.deliver({kMouseMoved, {3, 3}, 0}));
  rig.run();
  EXPECT_TRUE(rig.lines.empty());
  EXPECT_FALSE(session->start.has_value());
  EXPECT_EQ(rig.overlay.currentCursor(), CursorKind::Crosshair);

  rig.dragThroughShield({10.4, 20.6}, {30.2, 5.1});
  EXPECT_EQ(session->region, (Rect{10, 5, 21, 16}));
  EXPECT_TRUE(session->released);
  // After the release, presses and drags are swallowed and ignored.
  EXPECT_FALSE(rig.shield.leftDown({100, 100}));
  EXPECT_FALSE(rig.shield.leftDragged({200, 200}));
  rig.run();
  EXPECT_EQ(session->start, (Point{10.4, 20.6}));
  EXPECT_EQ(session->region, (Rect{10, 5, 21, 16}));

  EXPECT_FALSE(rig.shield.key(kEscapeKeyCode));
  rig.run();
  EXPECT_EQ(rig.lastReply(), canceled(1));
  EXPECT_FALSE(rig.shield.enabled());
  EXPECT_TRUE(rig.shield.leftDown({5, 5})) << "input flows again after the capture";
}

TEST(InputShield, EventsOfAnEarlierCaptureAreDroppedAndTheSystemCannotSwitchItOff) {
  HelperRig rig;
  rig.request(prepare(1));
  rig.shield.leftDown({10, 10});  // queued for capture 1, handled after capture 2 started
  rig.helper.receiveLine(prepare(2).dump());
  rig.run();
  EXPECT_FALSE(rig.helper.active()->start.has_value());

  EXPECT_TRUE(rig.shield.disableBySystem(platform::kShieldDisabledByTimeout));
  EXPECT_TRUE(rig.shield.disableBySystem(platform::kShieldDisabledByUserInput));
  rig.request(Json{{"command", "cancel"}, {"id", 2}});
  EXPECT_FALSE(rig.shield.disableBySystem()) << "no capture: it stays off";
}

TEST(Trace, WritesOnlyWithExactlyOneAndNeverToStandardOutput) {
  HelperRig rig;
  for (const char* value : {"true", "0", "", "1 "}) {
    rig.process.setEnv(kTraceVariable, value);
    rig.request(prepare(1));
    rig.shield.leftDown({3, 3});
    rig.request(Json{{"command", "cancel"}, {"id", 1}});
  }
  rig.process.setEnv(kTraceVariable, std::nullopt);
  rig.request(prepare(1));
  rig.request(Json{{"command", "cancel"}, {"id", 1}});
  EXPECT_TRUE(rig.process.traces().empty());

  rig.process.setEnv(kTraceVariable, "1");
  rig.request(prepare(2));
  rig.clock.advance(std::chrono::microseconds(12'500));
  rig.shield.leftDown({3, 3});
  rig.run();
  const auto traces = rig.process.traces();
  ASSERT_EQ(traces.size(), 5u);
  const double uptime = static_cast<double>(uptimeNanoseconds(rig.clock)) / 1'000'000;
  EXPECT_EQ(traces[0],
            "CAPTURE window-created 0.0 ms uptime_ms=" + formatDouble(uptime - 12.5) + "\n");
  EXPECT_EQ(traces[1].rfind("CAPTURE input-shield-shown 0.0 ms", 0), 0u);
  EXPECT_EQ(traces[2].rfind("CAPTURE session-input-shield 0.0 ms", 0), 0u);
  EXPECT_EQ(traces[3],
            "CAPTURE pointer-intercepted 12.5 ms uptime_ms=" + formatDouble(uptime) + "\n");
  EXPECT_EQ(traces[4].rfind("CAPTURE pointer-received 12.5 ms", 0), 0u);
  EXPECT_TRUE(rig.lines.size() == 5u) << "only the cancel replies are on standard output";
}

TEST(Trace, ElapsedTimeWrapsLikeAnUnsignedDifference) {
  EXPECT_EQ(Trace::line("x", 3'000'000, 1'000'000, 3'000'000),
            "CAPTURE x 18446744073707.55 ms uptime_ms=3.0\n");
}

}  // namespace
}  // namespace orvel::region::testing
