// The whole-process races of the region-capture benchmarks: their screen, milliseconds, medians
// and the moment a file is renamed into a folder.
#pragma once

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace orvel::bench {

using RaceClock = std::chrono::steady_clock;

// The races' screen, and the top-left corner of every region they capture.
inline constexpr int kRaceScreenWidth = 4000;
inline constexpr int kRaceScreenHeight = 2300;
inline constexpr int kRaceLeft = 40;
inline constexpr int kRaceTop = 40;

struct RaceSize {
  int width, height;
  double targetMs;  // the helper's
};

inline double ms(RaceClock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

inline double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Waits for `name` to be renamed into the folder that `inotify` watches (IN_MOVED_TO, watch made
// before the release).
inline bool waitForRename(int inotify, const std::string& name, std::chrono::milliseconds timeout) {
  const auto deadline = RaceClock::now() + timeout;
  alignas(inotify_event) char buffer[4096];
  while (RaceClock::now() < deadline) {
    pollfd p{inotify, POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - RaceClock::now());
    if (::poll(&p, 1, static_cast<int>(std::max<long>(1, left.count()))) <= 0) continue;
    const ssize_t n = ::read(inotify, buffer, sizeof buffer);
    for (ssize_t i = 0; i < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + i);
      if ((e->mask & IN_MOVED_TO) && e->len && name == e->name) return true;
      i += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
  return false;
}

}  // namespace orvel::bench
