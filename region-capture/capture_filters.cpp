#include "capture_filters.h"

#include <algorithm>
#include <map>

#include "messages.h"

namespace orvel::region {

namespace {

struct DisplayPlace {
  Rect bounds;
  double scale = 1;
};

using Built = Expected<std::vector<CaptureFilterEntry>, HelperError>;

Built query(platform::ScreenCapture& capture, const std::map<std::uint32_t, DisplayPlace>& places,
            std::int32_t ownPid, std::int32_t parentPid) {
  auto content = capture.shareableContent(/*excludeDesktopWindows=*/false,
                                          /*onScreenWindowsOnly=*/false);
  if (!content) return unexpected(content.error());
  std::vector<std::int32_t> excluded;
  for (const auto& app : content->applications) {
    if (app.pid == parentPid || app.pid == ownPid) excluded.push_back(app.pid);
  }
  if (std::find(excluded.begin(), excluded.end(), ownPid) == excluded.end()) {
    return unexpected(failure(kCannotExcludeCaptureWindows));
  }
  std::vector<CaptureFilterEntry> out;
  for (const auto& display : content->displays) {
    auto place = places.find(display.displayID);
    if (place == places.end()) return unexpected(failure(kDisplayConfigurationChanged));
    out.push_back({{display.displayID, {}, excluded}, place->second.bounds, place->second.scale});
  }
  return out;
}

}  // namespace

std::int32_t CaptureFilters::parentPid() {
  if (!parentPid_) parentPid_ = pids_.parent ? pids_.parent() : 0;
  return *parentPid_;
}

Task<Expected<void, HelperError>> CaptureFilters::refresh() {
  Topology starting = topology(screens_);
  std::map<std::uint32_t, DisplayPlace> places;
  for (const auto& screen : screens_.screens()) {
    if (!screen.displayID) continue;
    const Rect bounds = screens_.displayBounds(*screen.displayID).value_or(Rect{});
    places.emplace(*screen.displayID, DisplayPlace{bounds, screen.backingScale});
  }
  auto& capture = capture_;
  const std::int32_t own = pids_.own;
  const std::int32_t parent = parentPid();
  // A named awaiter: GCC 12 destroys lambda captures inside a co_await expression twice.
  auto queried = offload(loop_, [&capture, places = std::move(places), own, parent] {
    return query(capture, places, own, parent);
  });
  Built built = co_await queried;
  if (!built) co_return unexpected(std::move(built).error());
  if (topology(screens_) != starting) co_return unexpected(failure(kDisplayConfigurationChanged));
  filters_ = std::move(built).value();
  filterTopology_ = std::move(starting);
  co_return Expected<void, HelperError>{};
}

}  // namespace orvel::region
