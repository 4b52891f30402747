// The "scroll" and "fallback" commands.
#include <chrono>
#include <cmath>

#include "mac_scroll_event_policy.h"
#include "measured_scroll.h"
#include "messages.h"
#include "orvel/stitching/frame_overlap.h"
#include "scroll_capture_helper.h"

namespace orvel::scroll {

namespace {
constexpr auto kEventPause = std::chrono::milliseconds(30);
// A click's repaint is looked for in frames this far apart, for at most kRepaintLooks frames: an
// application that shows nothing new by then did not move.
constexpr auto kRepaintPause = std::chrono::milliseconds(15);
constexpr int kRepaintLooks = 20;
// Bounds one command's clicks whatever the view does.
constexpr int kMaxMeasuredClicks = 100;
}  // namespace

Task<Outcome<>> ScrollCaptureHelper::scroll(double fraction) {
  if (auto check = validate(); !check) co_return check;
  if (!state_.lockedTarget) co_return fail(msg::kCannotCreateScrollEvents);
  if (ports_.scrollEvents.measuresClicks() && state_.scrollMethod == ScrollEventMethod::pixels &&
      state_.filter && state_.configuration && std::isfinite(fraction) && fraction != 0 &&
      std::fabs(fraction) <= 0.8) {
    co_return co_await measuredScroll(fraction);
  }
  const MacScrollTarget target = *state_.lockedTarget;
  auto burst =
      MacScrollEventPolicy::events(ports_.scrollEvents, target, fraction, state_.scrollMethod);
  if (!burst) co_return fail(msg::kCannotCreateScrollEvents);
  for (const auto& event : *burst) {
    if (auto check = validate(); !check) co_return check;
    MacScrollEventPolicy::post(ports_.scrollEvents, event, target);
    co_await sleepFor(loop_, kEventPause);
  }
  // Off the region before its next frame, where the desktop draws the pointer into frames.
  if (target.rest) ports_.scrollEvents.restPointer(*target.rest);
  co_return Outcome<>{};
}

Task<Outcome<std::vector<std::uint64_t>>> ScrollCaptureHelper::regionRows() {
  auto grab = grabRegion();
  auto image = co_await grab;
  if (!image) co_return fail(image.error().description);
  co_return stitching::rowHashes(image->view());
}

Task<Outcome<>> ScrollCaptureHelper::measuredScroll(double fraction) {
  const int height = state_.configuration->height;
  MeasuredScroll plan(static_cast<int>(std::lround(std::fabs(fraction) * height)), height);
  // One line is one click; the content moves up (its rows to smaller y) towards its end.
  const bool towardsEnd = fraction > 0;
  const MacScrollTarget target = *state_.lockedTarget;
  auto rows = co_await regionRows();
  if (!rows) co_return unexpected(std::move(rows).error());
  std::vector<std::uint64_t> before = std::move(*rows);
  int largest = 0;
  for (int click = 0; click < kMaxMeasuredClicks && plan.wantsAnotherClick(); ++click) {
    if (auto check = validate(); !check) co_return check;
    if (!ports_.scrollEvents.openSource()) co_return fail(msg::kCannotCreateScrollEvents);
    auto event = ports_.scrollEvents.createScrollWheelEvent(platform::ScrollUnit::line, 1,
                                                            towardsEnd ? -1 : 1, 0, 0);
    ports_.scrollEvents.closeSource();
    if (!event) co_return fail(msg::kCannotCreateScrollEvents);
    event->sourceUserData = MacScrollEventPolicy::eventTag;
    MacScrollEventPolicy::post(ports_.scrollEvents, *event, target);
    if (target.rest) ports_.scrollEvents.restPointer(*target.rest);
    // The first frame that shows the click's move whole (one that overlaps the last).
    int moved = 0;
    for (int look = 0; look < kRepaintLooks && moved == 0; ++look) {
      co_await sleepFor(loop_, kRepaintPause);
      auto after = co_await regionRows();
      if (!after) co_return unexpected(std::move(after).error());
      const stitching::FrameOverlap o = towardsEnd
                                            ? stitching::measureOverlap(before, *after, largest)
                                            : stitching::measureOverlap(*after, before, largest);
      if (o.shift > 0 && o.matched) {
        moved = o.shift;
        before = std::move(*after);
      }
    }
    largest = std::max(largest, moved);
    plan.record(moved);
  }
  co_return Outcome<>{};
}

Outcome<bool> ScrollCaptureHelper::fallback() {
  if (auto check = validate(); !check) return unexpected(std::move(check).error());
  const bool switched = state_.scrollMethod == ScrollEventMethod::pixels;
  state_.scrollMethod = ScrollEventMethod::lines;
  return switched;
}

}  // namespace orvel::scroll
