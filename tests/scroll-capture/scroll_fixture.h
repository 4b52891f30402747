// A scroll-capture helper on a sim desktop with a manual clock, and a way to talk to it.
#pragma once

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "orvel/common/json_text.h"
#include "orvel/common/reply_writer.h"
#include "platform/sim/sim_accessibility.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_overlay.h"
#include "platform/sim/sim_scroll_events.h"
#include "scroll_capture_helper.h"

namespace orvel::scroll::testing {

class RecordingChannel : public ReplyChannel {
 public:
  struct Reply {
    Json json;
    std::vector<std::uint8_t> payload;
  };
  bool write(std::string_view line, std::span<const std::uint8_t> payload) override {
    std::lock_guard lock(mutex_);
    auto parsed = parseJson(line);
    EXPECT_TRUE(parsed.has_value()) << line;
    EXPECT_EQ(line.find('\n'), std::string_view::npos);
    replies_.push_back({parsed.value_or(Json()), {payload.begin(), payload.end()}});
    return !broken;
  }
  std::vector<Reply> take() {
    std::lock_guard lock(mutex_);
    return std::exchange(replies_, {});
  }
  bool broken = false;

 private:
  std::mutex mutex_;
  std::vector<Reply> replies_;
};

inline constexpr std::int32_t kHelperPID = 900;
inline constexpr std::int32_t kHostPID = 901;
inline constexpr std::int32_t kAppPID = 100;
inline constexpr std::uint32_t kAppWindow = 10;
inline const Rect kAppFrame{100, 100, 800, 600};

struct ScrollHelperTest : ::testing::Test {
  ManualClock clock;
  EventLoop loop{clock};
  sim::SimDesktop desktop;
  sim::SimOverlay overlay{desktop};
  sim::SimAccessibility accessibility;
  sim::SimScrollEvents scrollEvents;
  RecordingChannel out;
  std::vector<int> exits;
  AccessibilityContentBounds contentBounds{{accessibility, desktop, desktop, clock}};
  ScrollPorts ports{desktop,       desktop, desktop, desktop,     desktop,
                    contentBounds, desktop, overlay, scrollEvents};
  ScrollCaptureHelper helper{
      loop, ports, out, {kHelperPID, kHostPID}, [this](int status) { exits.push_back(status); }};

  // One application window with a title, frontmost, on a 1440x900 display.
  void addApp(std::optional<std::string> title = "Page") {
    desktop.addApplication(kAppPID, "org.example.reader");
    desktop.addWindow(kAppWindow, kAppPID, kAppFrame, 0, 1.0, title);
    desktop.frontmost = kAppPID;
  }

  void request(const Json& r) {
    helper.handleRequest(r);
    loop.runUntilIdle();
  }
  // Sends `r` and returns the one reply it produced.
  Json ask(const Json& r) {
    request(r);
    auto replies = out.take();
    EXPECT_EQ(replies.size(), 1u) << r.dump();
    return replies.empty() ? Json() : replies.back().json;
  }
  static Json error(const std::string& message) { return {{"ok", false}, {"error", message}}; }

  // Starts "select" (or "region"), drags from `from` to `to` on the overlay, returns the reply.
  Json selectByDrag(const char* command, Point from, Point to) {
    helper.handleRequest({{"command", command}});
    loop.runUntilIdle();
    EXPECT_GT(overlay.openPanels(), 0) << "overlay not shown";
    overlay.drag(from, to);
    loop.runUntilIdle();
    auto replies = out.take();
    EXPECT_EQ(replies.size(), 1u);
    return replies.empty() ? Json() : replies.back().json;
  }
  // Locks the app window's region (200, 200, 400, 300).
  Json lockTarget() { return selectByDrag("select", {200, 200}, {600, 500}); }
};

}  // namespace orvel::scroll::testing
