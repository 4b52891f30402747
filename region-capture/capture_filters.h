// Per-display capture filters that keep the helper's and the host's windows out of the frozen
// pictures, with the display arrangement they were built for.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "helper_error.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/expected.h"
#include "orvel/common/task.h"
#include "platform/screen_capture.h"
#include "platform/screens.h"
#include "topology.h"

namespace orvel::region {

struct CaptureFilterEntry {
  platform::ContentFilter filter;
  Rect bounds;  // points, global display coordinates
  double scale = 1;
};

struct ProcessIds {
  std::int32_t own = 0;
  // Read the first time it is needed, never again.
  std::function<std::int32_t()> parent;
};

class CaptureFilters {
 public:
  CaptureFilters(EventLoop& loop, platform::Screens& screens, platform::ScreenCapture& capture,
                 ProcessIds pids)
      : loop_(loop), screens_(screens), capture_(capture), pids_(std::move(pids)) {}

  // Rebuilds the filters from the screen-capture service, off the main thread. On failure the
  // earlier filters stay.
  Task<Expected<void, HelperError>> refresh();

  const std::vector<CaptureFilterEntry>& filters() const { return filters_; }
  const Topology& filterTopology() const { return filterTopology_; }
  void clear() { filters_.clear(); }

 private:
  std::int32_t parentPid();

  EventLoop& loop_;
  platform::Screens& screens_;
  platform::ScreenCapture& capture_;
  ProcessIds pids_;
  std::optional<std::int32_t> parentPid_;
  std::vector<CaptureFilterEntry> filters_;
  Topology filterTopology_;
};

}  // namespace orvel::region
