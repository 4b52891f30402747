#include <gtest/gtest.h>

#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "orvel/common/event_loop.h"
#include "orvel/common/one_shot.h"
#include "orvel/common/task.h"

namespace orvel {
namespace {

using namespace std::chrono_literals;

struct LoopFixture : ::testing::Test {
  ManualClock clock;
  EventLoop loop{clock};
  TimePoint start = clock.now();
  double elapsedMs() const {
    return std::chrono::duration<double, std::milli>(clock.now() - start).count();
  }
};

Task<int> delayedValue(EventLoop& loop, Duration d, int v) {
  co_await sleepFor(loop, d);
  co_return v;
}

TEST_F(LoopFixture, TasksInterleaveAtTheirWaitsWithExactVirtualTime) {
  std::vector<std::string> log;
  auto worker = [&](std::string name, Duration step, int n) -> Task<> {
    for (int i = 0; i < n; ++i) {
      co_await sleepFor(loop, step);
      log.push_back(name + std::to_string(i) + "@" + std::to_string(int(elapsedMs())));
    }
  };
  spawn(loop, worker("a", 30ms, 3));
  spawn(loop, worker("b", 25ms, 4));
  loop.runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"b0@25", "a0@30", "b1@50", "a1@60", "b2@75", "a2@90",
                                           "b3@100"}));
  EXPECT_EQ(clock.now() - start, Duration(100ms));
}

TEST_F(LoopFixture, AwaitedTasksReturnValuesAndAWaitingTaskDoesNotBlockAnother) {
  int sum = 0;
  bool quickDone = false;
  OneShot<int> never(loop);  // a selection that the user never finishes
  spawn(loop, [&]() -> Task<> {
    int v = co_await never.wait();
    sum += v;
  });
  spawn(loop, [&]() -> Task<> {
    int a = co_await delayedValue(loop, 10ms, 2);
    int b = co_await delayedValue(loop, 5ms, 3);
    sum += a * b;
    quickDone = true;
  });
  loop.runUntilIdle();
  EXPECT_TRUE(quickDone);
  EXPECT_EQ(sum, 6);
  EXPECT_EQ(clock.now() - start, Duration(15ms));
  // The pending task is still suspended and is destroyed with the loop (no leak under ASan).
}

TEST_F(LoopFixture, OneShotResumesItsWaiterExactlyOnceAndNeverInline) {
  OneShot<std::optional<int>> shot(loop);
  int resumed = 0;
  std::optional<int> got;
  spawn(loop, [&]() -> Task<> {
    got = co_await shot.wait();
    ++resumed;
  });
  EXPECT_TRUE(shot.resolve(7));
  EXPECT_EQ(resumed, 0) << "resumption must not run inside resolve()";
  EXPECT_FALSE(shot.resolve(8));
  EXPECT_FALSE(shot.resolve(std::nullopt));
  loop.runUntilIdle();
  EXPECT_EQ(resumed, 1);
  EXPECT_EQ(got, 7);

  OneShot<int> early(loop);
  early.resolve(4);
  int value = 0;
  spawn(loop, [&]() -> Task<> { value = co_await early.wait(); });
  EXPECT_EQ(value, 4) << "a value delivered before the wait is taken at once";
}

TEST_F(LoopFixture, CancelledTimersDoNotFireAndTimersFireInDueOrder) {
  std::vector<int> fired;
  loop.addTimer(20ms, [&] { fired.push_back(2); });
  auto id = loop.addTimer(10ms, [&] { fired.push_back(1); });
  loop.addTimer(20ms, [&] { fired.push_back(3); });
  loop.addTimer(5ms, [&] { fired.push_back(0); });
  loop.cancelTimer(id);
  loop.runUntilIdle();
  EXPECT_EQ(fired, (std::vector<int>{0, 2, 3}));
  EXPECT_EQ(clock.now() - start, Duration(20ms));
}

TEST_F(LoopFixture, PostsFromOtherThreadsArriveInOrderPerThread) {
  constexpr int kThreads = 4;
  constexpr int kPerThread = 2000;
  std::vector<std::vector<int>> seen(kThreads);
  int total = 0;  // loop thread only
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kPerThread; ++i) {
        loop.post([&, t, i] {
          seen[t].push_back(i);
          if (++total == kThreads * kPerThread) loop.stop();
        });
      }
    });
  }
  loop.run();
  for (auto& t : threads)
    t.join();
  for (int t = 0; t < kThreads; ++t) {
    ASSERT_EQ(seen[t].size(), size_t(kPerThread));
    for (int i = 0; i < kPerThread; ++i)
      ASSERT_EQ(seen[t][i], i);
  }
}

TEST_F(LoopFixture, ManualTimeWaitsForBackgroundWorkBeforeJumping) {
  std::vector<std::string> log;
  spawn(loop, [&]() -> Task<> {
    int v = co_await offload(loop, [] {
      std::this_thread::sleep_for(20ms);  // real time, on another thread
      return 42;
    });
    log.push_back("offload " + std::to_string(v) + " at " + std::to_string(int(elapsedMs())));
  });
  spawn(loop, [&]() -> Task<> {
    co_await sleepFor(loop, 1s);
    log.push_back("timer at " + std::to_string(int(elapsedMs())));
  });
  loop.runUntilIdle();
  EXPECT_EQ(log, (std::vector<std::string>{"offload 42 at 0", "timer at 1000"}));
}

int threadCount() {
  int n = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
    (void)entry;
    ++n;
  }
  return n;
}

TEST_F(LoopFixture, FinishedBackgroundThreadsAreJoined) {
  const int before = threadCount();
  int sum = 0;
  spawn(loop, [&]() -> Task<> {
    for (int i = 0; i < 200; ++i) {
      auto work = offload(loop, [i] { return i; });
      sum += co_await work;
    }
  });
  loop.runUntilIdle();
  EXPECT_EQ(sum, 199 * 200 / 2);
  EXPECT_LE(threadCount(), before + 1) << "a helper capturing all day must not pile up threads";
}

TEST(EventLoopSteady, RealClockSleepsAndFileDescriptorWatchesFire) {
  SteadyClock clock;
  EventLoop loop(clock);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string got;
  auto id = loop.watch(fds[0], POLLIN, [&](short) {
    char buf[16];
    auto n = read(fds[0], buf, sizeof buf);
    got.append(buf, n > 0 ? size_t(n) : 0);
    if (got == "hi") loop.stop();
  });
  const auto t0 = clock.now();
  spawn(loop, [&]() -> Task<> {
    co_await sleepFor(loop, 20ms);
    EXPECT_EQ(write(fds[1], "hi", 2), 2);
  });
  loop.run();
  EXPECT_EQ(got, "hi");
  EXPECT_GE(clock.now() - t0, Duration(20ms));
  loop.unwatch(id);
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace orvel
