// The "scroll" and "fallback" commands.
#include <chrono>

#include "mac_scroll_event_policy.h"
#include "messages.h"
#include "scroll_capture_helper.h"

namespace orvel::scroll {

namespace {
constexpr auto kEventPause = std::chrono::milliseconds(30);
}

Task<Outcome<>> ScrollCaptureHelper::scroll(double fraction) {
  if (auto check = validate(); !check) co_return check;
  if (!state_.lockedTarget) co_return fail(msg::kCannotCreateScrollEvents);
  const MacScrollTarget target = *state_.lockedTarget;
  auto burst =
      MacScrollEventPolicy::events(ports_.scrollEvents, target, fraction, state_.scrollMethod);
  if (!burst) co_return fail(msg::kCannotCreateScrollEvents);
  for (const auto& event : *burst) {
    if (auto check = validate(); !check) co_return check;
    MacScrollEventPolicy::post(ports_.scrollEvents, event, target);
    co_await sleepFor(loop_, kEventPause);
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
