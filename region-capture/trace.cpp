#include "trace.h"

#include <chrono>

#include "orvel/common/geometry.h"

namespace orvel::region {

std::uint64_t uptimeNanoseconds(const Clock& clock) {
  const auto ns =
      std::chrono::duration_cast<std::chrono::nanoseconds>(clock.now().time_since_epoch());
  return static_cast<std::uint64_t>(ns.count());
}

std::string Trace::line(std::string_view event, std::uint64_t start, std::uint64_t now,
                        std::uint64_t uptime) {
  // Unsigned on purpose: a start time from a later reading wraps instead of failing.
  const double elapsed = static_cast<double>(now - start) / 1'000'000;
  std::string out = "CAPTURE ";
  out += event;
  out += ' ';
  out += formatDouble(elapsed);
  out += " ms uptime_ms=";
  out += formatDouble(static_cast<double>(uptime) / 1'000'000);
  out += '\n';
  return out;
}

void Trace::operator()(std::string_view event, std::uint64_t start) const {
  const auto value = environment_(kTraceVariable);
  if (!value || *value != "1") return;
  const std::uint64_t now = uptimeNanoseconds(clock_);
  sink_(line(event, start, now, uptimeNanoseconds(clock_)));
}

}  // namespace orvel::region
