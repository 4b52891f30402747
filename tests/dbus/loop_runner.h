// Runs a real-time event loop in a test until something happened, with a bounded wait.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "orvel/common/event_loop.h"
#include "orvel/common/task.h"

namespace orvel::dbustest {

// Runs `loop` until `done` holds, at most `limit`; returns done().
inline bool runUntil(EventLoop& loop, const std::function<bool()>& done,
                     Duration limit = std::chrono::seconds(20)) {
  bool late = false;
  const auto timer = loop.addTimer(limit, [&] { late = true; });
  loop.runUntil([&] { return late || done(); });
  loop.cancelTimer(timer);
  return done();
}

// The result of the task that `make` starts, or nothing when it did not end within `limit`.
template <class T, class F>
std::optional<T> runTask(EventLoop& loop, F make, Duration limit = std::chrono::seconds(20)) {
  std::optional<T> result;
  spawn(loop, [&result, make = std::move(make)]() -> Task<> { result.emplace(co_await make()); });
  runUntil(
      loop, [&] { return result.has_value(); }, limit);
  return result;
}

}  // namespace orvel::dbustest
