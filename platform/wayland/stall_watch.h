// What the connections to one compositor know of its stalls. A compositor that stops answering (a
// stopped process, a hung frame) stalls every connection to it at once: once one wait for it runs
// out, the waits that follow end by that wait's deadline instead of each waiting as long again,
// until the compositor answers anything. Shared by the connections of one helper; any thread.
#pragma once

#include <chrono>
#include <mutex>
#include <optional>

namespace orvel::wayland {

class StallWatch {
 public:
  using Clock = std::chrono::steady_clock;

  // When a wait that started at `started` and may last `timeout` ends at the latest.
  Clock::time_point deadline(Clock::time_point started, std::chrono::milliseconds timeout) const;
  // A wait that started at `started` got no answer in time.
  void ranOut(Clock::time_point started);
  // The compositor answered: it runs again.
  void answered();
  bool stalled() const;

 private:
  mutable std::mutex mutex_;  // guards stalledSince_
  // When the first wait that ran out started.
  std::optional<Clock::time_point> stalledSince_;
};

}  // namespace orvel::wayland
