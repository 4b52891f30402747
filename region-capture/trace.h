// Timing lines on standard error, for measuring a capture from the outside. Switched on only by
// ORVEL_CAPTURE_TRACE=1, read at every call so a running helper can be switched on and off.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "orvel/common/clock.h"

namespace orvel::region {

// Looks up an environment variable; absent when it is not set.
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;
// Writes one whole line; called from the main thread and the input-shield thread.
using LineSink = std::function<void(std::string_view line)>;

inline constexpr const char* kTraceVariable = "ORVEL_CAPTURE_TRACE";

// Nanoseconds of the monotonic clock, the unit of a session's start time.
std::uint64_t uptimeNanoseconds(const Clock& clock);

class Trace {
 public:
  Trace(const Clock& clock, EnvironmentLookup environment, LineSink sink)
      : clock_(clock), environment_(std::move(environment)), sink_(std::move(sink)) {}

  // "CAPTURE <event> <elapsed> ms uptime_ms=<uptime>", both in milliseconds. Any thread.
  void operator()(std::string_view event, std::uint64_t start) const;

  // The line for `now`; exposed for its number form.
  static std::string line(std::string_view event, std::uint64_t start, std::uint64_t now,
                          std::uint64_t uptime);

 private:
  const Clock& clock_;
  EnvironmentLookup environment_;
  LineSink sink_;
};

}  // namespace orvel::region
