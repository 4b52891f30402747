// Bringing the target application to the front ("activate", and the end of "select").
#include <algorithm>
#include <chrono>
#include <cstdint>

#include "messages.h"
#include "scroll_capture_helper.h"

namespace orvel::scroll {

namespace {
constexpr auto kPollPause = std::chrono::milliseconds(25);
}  // namespace

Task<Outcome<>> ScrollCaptureHelper::activateTarget() {
  if (!state_.lockedTarget) co_return fail(msg::kTargetClosed);
  const MacScrollTarget target = *state_.lockedTarget;
  auto app = ports_.workspace.application(target.pid);
  if (!app) co_return fail(msg::kTargetClosed);
  // A different identifier means the pid now belongs to another application.
  if (!app->bundleID || *app->bundleID != target.bundleID) co_return fail(msg::kTargetClosed);
  if (app->terminated) co_return fail(msg::kTargetClosed);
  // The target window, not the application's front one: with two windows of one application the
  // other would come forward and the target check would then fail.
  ports_.workspace.activate(target.pid, target.windowID);
  // The desktop says how long its answer may take: a second where the display server answers
  // itself, seconds where a compositor script reports the focus back.
  const auto polls = std::max<std::int64_t>(1, ports_.workspace.activationBound() / kPollPause);
  for (std::int64_t poll = 0; poll < polls; ++poll) {
    // Read afresh: a target cleared meanwhile ("close", a new "select") can no longer succeed.
    auto front = ports_.workspace.frontmostPID();
    auto window = ports_.workspace.frontmostWindow();
    if (front && *front == state_.targetPID() && (!window || *window == state_.targetID())) {
      co_return Outcome<>{};
    }
    co_await sleepFor(loop_, kPollPause);
  }
  co_return fail(msg::kCannotActivate);
}

}  // namespace orvel::scroll
