// region-capture-helper on a compositor that stalls (SIGSTOP) rather than goes away: a capture
// asked for meanwhile is answered within one wait for the compositor with the truth (it is not
// reachable; the outputs did not change), and once the compositor runs again the same helper
// captures as before. A stall shorter than the wait is no failure at all.
#include <gtest/gtest.h>

#include <filesystem>

#include "messages.h"
#include "region_helper_desk.h"
#include "temp_folder.h"

namespace orvel::waylandtest {
namespace {

using namespace std::chrono_literals;
using region::testing::TempFolder;

constexpr const char* kNotReachable = "The compositor is not reachable.";

SwayOptions twoOutputs() {
  SwayOptions o;
  o.outputs = {{800, 600, 0, 0, 1, "#204060"}, {1280, 720, 800, 0, 2, "#602040"}};
  return o;
}

// Once the overlay is up: a drag of 100x80 points on the first output, answered with its region.
void dragIsCaptured(Desk& desk, ChildProcess& helper, std::int64_t id, const std::string& path) {
  ASSERT_TRUE(desk.overlayUp());
  desk.pointer->drag(200, 200, 300, 280);
  const Json region = {{"x", 200}, {"y", 200}, {"width", 100}, {"height", 80}};
  EXPECT_EQ(reply(helper), (Json{{"id", id}, {"ok", true}, {"region", region}}));
  EXPECT_TRUE(std::filesystem::exists(path));
  ASSERT_TRUE(desk.overlayGone());
}

void captureWorks(Desk& desk, ChildProcess& helper, std::int64_t id, const std::string& path) {
  prepareAndCapture(helper, id, path);
  dragIsCaptured(desk, helper, id, path);
}

TEST(WaylandRegionStall, AStoppedCompositorIsAnsweredInOneWaitAndAResumedOneCaptures) {
  START_SWAY(rig, twoOutputs());
  Desk desk(*rig, 1440, 600);
  ASSERT_TRUE(desk.start());
  TempFolder folder;
  auto helper = desk.helper();
  captureWorks(desk, *helper, 1, folder.file("before.png"));

  ASSERT_TRUE(rig->pauseCompositor());
  const auto asked = std::chrono::steady_clock::now();
  prepareAndCapture(*helper, 2, folder.file("stalled.png"));
  // One wait for the compositor is 3 s; the reply must not add up several (21 s before).
  const Json answer = reply(*helper, 10s);
  const auto waited = std::chrono::steady_clock::now() - asked;
  EXPECT_EQ(answer, failed(2, kNotReachable))
      << "after " << std::chrono::duration_cast<std::chrono::milliseconds>(waited).count() << " ms";
  EXPECT_FALSE(std::filesystem::exists(folder.file("stalled.png")));
  // A second capture while it still stands is answered the same way.
  prepareAndCapture(*helper, 3, folder.file("stalled.png"));
  EXPECT_EQ(reply(*helper, 10s), failed(3, kNotReachable));

  ASSERT_TRUE(rig->resumeCompositor());
  // Once sway answers its IPC it has run its loop, and with it answered the helper's syncs.
  ASSERT_TRUE(rig->swaymsg({"-t", "get_version"}));
  ASSERT_TRUE(desk.overlayGone());
  captureWorks(desk, *helper, 4, folder.file("after.png"));

  // A stall shorter than one wait is no failure: the compositor stops as a capture is asked for
  // and runs again at once; nothing changed, so the capture goes on.
  ASSERT_TRUE(rig->pauseCompositor());
  send(*helper, R"({"command":"prepare","id":5})");
  ASSERT_TRUE(rig->resumeCompositor());
  send(*helper, R"({"command":"capture","id":5,"path":")" + folder.file("short.png") + "\"}");
  dragIsCaptured(desk, *helper, 5, folder.file("short.png"));
  send(*helper, R"({"command":"quit"})");
  EXPECT_EQ(helper->wait(5s), 0);
}

}  // namespace
}  // namespace orvel::waylandtest
