#include "orvel/common/event_loop.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <system_error>

namespace orvel {

EventLoop::EventLoop(Clock& clock) : clock_(clock) {
  wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    std::perror("eventfd");
    std::abort();
  }
}

EventLoop::~EventLoop() {
  for (auto& [id, t] : threads_)
    t.join();
  timers_.clear();
  ready_.clear();
  posted_.clear();
  // Destroying a root destroys the tasks it awaits, and their frames end their own awaits.
  auto roots = std::move(roots_);
  for (void* address : roots)
    std::coroutine_handle<>::from_address(address).destroy();
  ::close(wakeFd_);
}

void EventLoop::defer(Callback fn) {
  ready_.push_back(std::move(fn));
}

void EventLoop::post(Callback fn) {
  {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(fn));
  }
  const std::uint64_t one = 1;
  [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
}

EventLoop::TimerId EventLoop::addTimer(TimePoint when, Callback fn) {
  const TimerId id = nextTimer_++;
  timers_.emplace(std::make_pair(when, id), std::move(fn));
  timerDue_.emplace(id, when);
  return id;
}

void EventLoop::cancelTimer(TimerId id) {
  auto it = timerDue_.find(id);
  if (it == timerDue_.end()) return;
  timers_.erase({it->second, id});
  timerDue_.erase(it);
}

EventLoop::WatchId EventLoop::watch(int fd, short events, FdCallback fn) {
  const WatchId id = nextWatch_++;
  watches_.emplace(id, Watch{fd, events, std::move(fn)});
  return id;
}

void EventLoop::unwatch(WatchId id) {
  watches_.erase(id);
}

void EventLoop::runInBackground(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    ++busyThreads_;
  }
  reapThreads();
  const std::uint64_t id = nextThread_++;
  // Shared, so that the work survives a thread that could not be started.
  auto shared = std::make_shared<std::function<void()>>(std::move(work));
  try {
    threads_.emplace(id, std::thread([this, id, shared] {
                       (*shared)();
                       std::lock_guard lock(mutex_);
                       --busyThreads_;
                       finishedThreads_.push_back(id);
                       const std::uint64_t one = 1;
                       [[maybe_unused]] auto n = ::write(wakeFd_, &one, sizeof one);
                     }));
  } catch (const std::system_error&) {
    // No thread to be had (a process limit): the work runs here, late rather than lost.
    {
      std::lock_guard lock(mutex_);
      --busyThreads_;
    }
    (*shared)();
  }
}

void EventLoop::reapThreads() {
  std::vector<std::uint64_t> finished;
  {
    std::lock_guard lock(mutex_);
    finished.swap(finishedThreads_);
  }
  for (auto id : finished) {
    auto it = threads_.find(id);
    if (it == threads_.end()) continue;
    it->second.join();
    threads_.erase(it);
  }
}

bool EventLoop::hasBackgroundWork() {
  std::lock_guard lock(mutex_);
  return busyThreads_ > 0 || !posted_.empty();
}

void EventLoop::drainPosted() {
  reapThreads();
  std::vector<Callback> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(posted_);
  }
  for (auto& fn : batch)
    ready_.push_back(std::move(fn));
}

bool EventLoop::runReady() {
  drainPosted();
  if (ready_.empty()) return false;
  // Work queued while this batch runs waits for the next turn, so timers and posts are not starved.
  std::deque<Callback> batch;
  batch.swap(ready_);
  for (std::size_t i = 0; i < batch.size(); ++i) {
    batch[i]();
    if (stopped_) {
      // Keep what was not run, in order, for a later run().
      for (std::size_t j = batch.size(); j > i + 1; --j)
        ready_.push_front(std::move(batch[j - 1]));
      break;
    }
  }
  return true;
}

bool EventLoop::fireDueTimers() {
  bool fired = false;
  const TimePoint now = clock_.now();
  while (!timers_.empty() && !stopped_) {
    auto it = timers_.begin();
    if (it->first.first > now) break;
    Callback fn = std::move(it->second);
    timerDue_.erase(it->first.second);
    timers_.erase(it);
    fn();
    fired = true;
  }
  return fired;
}

bool EventLoop::waitForEvents(int timeoutMs) {
  std::vector<pollfd> fds;
  std::vector<WatchId> ids;
  fds.push_back({wakeFd_, POLLIN, 0});
  for (auto& [id, w] : watches_) {
    fds.push_back({w.fd, w.events, 0});
    ids.push_back(id);
  }
  int n = ::poll(fds.data(), fds.size(), timeoutMs);
  if (n < 0) return errno == EINTR;
  if (fds[0].revents & POLLIN) {
    std::uint64_t count;
    [[maybe_unused]] auto r = ::read(wakeFd_, &count, sizeof count);
  }
  for (std::size_t i = 1; i < fds.size(); ++i) {
    if (fds[i].revents == 0) continue;
    auto it = watches_.find(ids[i - 1]);
    if (it == watches_.end()) continue;
    auto fn = it->second.fn;  // the callback may unwatch itself
    fn(fds[i].revents);
  }
  return true;
}

bool EventLoop::turn(bool mayBlock) {
  bool progressed = runReady();
  if (stopped_) return true;
  progressed = fireDueTimers() || progressed;
  if (progressed || stopped_ || !ready_.empty()) return true;

  const bool background = hasBackgroundWork();
  if (!timers_.empty() && !background) {
    const TimePoint next = timers_.begin()->first.first;
    if (clock_.jumpTo(next)) return true;
  }
  if (timers_.empty() && !background && !mayBlock) {
    // Idle: only outside events (file descriptors) could bring more work.
    return waitForEvents(0) && (!ready_.empty() || hasBackgroundWork());
  }
  int timeoutMs = -1;
  if (!timers_.empty()) {
    auto wait = timers_.begin()->first.first - clock_.now();
    auto ms = std::chrono::ceil<std::chrono::milliseconds>(wait).count();
    timeoutMs = static_cast<int>(std::clamp<long long>(ms, 0, INT_MAX));
  }
  waitForEvents(timeoutMs);
  return true;
}

void EventLoop::run() {
  stopped_ = false;
  while (!stopped_)
    turn(true);
}

bool EventLoop::runUntil(const std::function<bool()>& done) {
  stopped_ = false;
  while (!stopped_ && !done()) {
    if (!turn(false)) break;
  }
  return done();
}

}  // namespace orvel
