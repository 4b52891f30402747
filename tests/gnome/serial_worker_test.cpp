// The worker that opens screen casts off the loop thread: jobs run one at a time, in the order
// posted, on its own thread, and the jobs still queued run before it goes.
#include "platform/gnome/serial_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

namespace orvel::gnome {
namespace {

TEST(SerialWorker, RunsJobsInOrderOnItsOwnThreadAndFinishesTheQueueBeforeItGoes) {
  std::vector<int> order;
  std::atomic<int> running = 0;
  bool overlapped = false;
  std::thread::id ran;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  {
    SerialWorker worker;
    // The first job waits, so that the others queue behind it.
    worker.post([&] {
      ran = std::this_thread::get_id();
      released.wait();
      order.push_back(0);
    });
    for (int i = 1; i <= 5; ++i) {
      worker.post([&, i] {
        overlapped = overlapped || ++running > 1;
        order.push_back(i);
        --running;
      });
    }
    release.set_value();
  }
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4, 5}));
  EXPECT_FALSE(overlapped);
  EXPECT_NE(ran, std::this_thread::get_id());
}

}  // namespace
}  // namespace orvel::gnome
