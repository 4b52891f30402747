// Time source of the event loop. The helpers never read the system clock directly, so tests can
// run every pause and deadline on a manual clock that jumps instead of waiting.
#pragma once

#include <atomic>
#include <chrono>

namespace orvel {

using Duration = std::chrono::steady_clock::duration;
using TimePoint = std::chrono::steady_clock::time_point;

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time. Safe to call from any thread.
  virtual TimePoint now() const = 0;
  // Moves time forward to `when` when this clock can jump (a manual clock) and returns true; a
  // real clock returns false and the caller has to wait.
  virtual bool jumpTo(TimePoint when) = 0;
};

class SteadyClock final : public Clock {
 public:
  TimePoint now() const override { return std::chrono::steady_clock::now(); }
  bool jumpTo(TimePoint) override { return false; }
};

// Virtual time: stands still until advanced. The event loop advances it to the next timer
// whenever it has nothing else to do, so waits take no real time and their lengths are exact.
class ManualClock final : public Clock {
 public:
  ManualClock() : now_(TimePoint{} + std::chrono::hours(1)) {}
  TimePoint now() const override { return now_.load(); }
  bool jumpTo(TimePoint when) override {
    if (when > now_.load()) now_.store(when);
    return true;
  }
  void advance(Duration by) { now_.store(now_.load() + by); }

 private:
  std::atomic<TimePoint> now_;
};

}  // namespace orvel
