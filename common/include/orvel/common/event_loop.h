// The main-thread loop of a helper: a ready queue, timers, a thread-safe post() and file-descriptor
// watches. Everything except post() and PendingWork is called on the loop's own thread.
#pragma once

#include <coroutine>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <unordered_map>
#include <vector>

#include "orvel/common/clock.h"

namespace orvel {

class EventLoop {
 public:
  using Callback = std::function<void()>;
  using FdCallback = std::function<void(short revents)>;
  using TimerId = std::uint64_t;
  using WatchId = std::uint64_t;

  explicit EventLoop(Clock& clock);
  // Destroys the coroutines of tasks that never finished and joins background threads.
  ~EventLoop();
  EventLoop(const EventLoop&) = delete;
  EventLoop& operator=(const EventLoop&) = delete;

  Clock& clock() { return clock_; }
  TimePoint now() const { return clock_.now(); }

  // Runs `fn` on a later turn of this loop. Loop thread only.
  void defer(Callback fn);
  // Runs `fn` on the loop thread. Any thread; calls from one thread run in the order they were
  // made.
  void post(Callback fn);

  TimerId addTimer(TimePoint when, Callback fn);
  TimerId addTimer(Duration after, Callback fn) { return addTimer(now() + after, std::move(fn)); }
  void cancelTimer(TimerId id);

  // Calls `fn` with the poll() events whenever `fd` is ready for `events`.
  WatchId watch(int fd, short events, FdCallback fn);
  void unwatch(WatchId id);
  // File descriptors watched now.
  std::size_t watchCount() const { return watches_.size(); }

  // Starts `work` on a thread that the loop joins before it is destroyed. The work reports back
  // with post(). While it runs, a manual clock does not jump: the result might be due before any
  // timer.
  void runInBackground(std::function<void()> work);

  // Runs until stop().
  void run();
  void stop() { stopped_ = true; }
  bool stopped() const { return stopped_; }
  // Runs until `done()` holds or nothing is left to do (no ready work, no timers, no background
  // work). Returns done(). For tests and for draining at exit.
  bool runUntil(const std::function<bool()>& done);
  void runUntilIdle() {
    runUntil([] { return false; });
  }

  // Registry of detached coroutines (see spawn() in task.h).
  void adoptRoot(std::coroutine_handle<> h) { roots_.insert(h.address()); }
  void releaseRoot(std::coroutine_handle<> h) { roots_.erase(h.address()); }

 private:
  // One turn: runs posted and ready work and due timers, then waits (or jumps a manual clock) when
  // nothing was ready. Returns false when there is nothing left to wait for.
  bool turn(bool mayBlock);
  bool runReady();
  bool fireDueTimers();
  void drainPosted();
  bool waitForEvents(int timeoutMs);
  bool hasBackgroundWork();
  void reapThreads();

  Clock& clock_;
  bool stopped_ = false;
  std::deque<Callback> ready_;
  std::map<std::pair<TimePoint, TimerId>, Callback> timers_;
  std::unordered_map<TimerId, TimePoint> timerDue_;
  TimerId nextTimer_ = 1;

  struct Watch {
    int fd;
    short events;
    FdCallback fn;
  };
  std::map<WatchId, Watch> watches_;
  WatchId nextWatch_ = 1;

  std::set<void*> roots_;

  std::mutex mutex_;  // guards posted_, busyThreads_, finishedThreads_
  std::vector<Callback> posted_;
  int busyThreads_ = 0;
  std::vector<std::uint64_t> finishedThreads_;
  // Background threads by id; finished ones are joined on the next turn.
  std::map<std::uint64_t, std::thread> threads_;
  std::uint64_t nextThread_ = 1;
  int wakeFd_ = -1;
};

}  // namespace orvel
