// The whole-process races of the region-capture benchmarks: their screen, targets, milliseconds,
// medians, the moment a file is renamed into a folder, and the helper's trace.
#pragma once

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace orvel::bench {

using RaceClock = std::chrono::steady_clock;

// The races' screen, and the top-left corner of every region they capture.
inline constexpr int kRaceScreenWidth = 4000;
inline constexpr int kRaceScreenHeight = 2300;
inline constexpr int kRaceLeft = 40;
inline constexpr int kRaceTop = 40;

// What a desktop's captures aim at: the release to the PNG renamed, the freeze (capture request to
// the overlays showing the frozen pictures), and a scroll capture's round trip as a multiple of
// what one frame costs the desktop.
inline constexpr double kReleaseTargetMs = 30;
inline constexpr double kFreezeTargetMs = 150;
inline constexpr double kRoundTripRatio = 1.5;

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

// The milliseconds of the helper's trace line "CAPTURE <event> <ms> ms ...", when it is `event`'s.
inline std::optional<double> tracedMs(const std::string& line, const std::string& event) {
  const std::string head = "CAPTURE " + event + " ";
  if (line.rfind(head, 0) != 0) return std::nullopt;
  return std::stod(line.substr(head.size()));
}

// The milliseconds of every `event` in the trace file `path`, in order.
inline std::vector<double> tracedInFile(const std::string& path, const std::string& event) {
  std::ifstream in(path);
  std::vector<double> out;
  for (std::string line; std::getline(in, line);)
    if (auto ms = tracedMs(line, event)) out.push_back(*ms);
  return out;
}

}  // namespace orvel::bench
