// The deadlines of waits for a compositor that may stall. Pure logic.
#include <gtest/gtest.h>

#include "platform/wayland/stall_watch.h"

namespace orvel::wayland {
namespace {

using namespace std::chrono_literals;

TEST(StallWatchTest, WaitsAfterOneRanOutEndByItsDeadlineUntilTheCompositorAnswers) {
  StallWatch stalls;
  const StallWatch::Clock::time_point t0{};
  // A running compositor: every wait has its own time.
  EXPECT_FALSE(stalls.stalled());
  EXPECT_EQ(stalls.deadline(t0, 3s), t0 + 3s);
  EXPECT_EQ(stalls.deadline(t0 + 10s, 3s), t0 + 13s);
  // The wait that started at t0 ran out: later waits, and earlier ones still going, end by
  // t0 + 3 s, whatever they may last by themselves.
  stalls.ranOut(t0);
  EXPECT_TRUE(stalls.stalled());
  EXPECT_EQ(stalls.deadline(t0 + 3s, 3s), t0 + 3s);
  EXPECT_EQ(stalls.deadline(t0 + 1s, 3s), t0 + 3s);
  EXPECT_EQ(stalls.deadline(t0 + 20s, 10s), t0 + 10s);
  EXPECT_EQ(stalls.deadline(t0 - 1s, 1s), t0);
  // Another wait that ran out later moves nothing; one that started earlier does.
  stalls.ranOut(t0 + 5s);
  EXPECT_EQ(stalls.deadline(t0 + 6s, 3s), t0 + 3s);
  stalls.ranOut(t0 - 1s);
  EXPECT_EQ(stalls.deadline(t0 + 6s, 3s), t0 + 2s);
  // An answer ends the stall.
  stalls.answered();
  EXPECT_FALSE(stalls.stalled());
  EXPECT_EQ(stalls.deadline(t0 + 6s, 3s), t0 + 9s);
}

}  // namespace
}  // namespace orvel::wayland
