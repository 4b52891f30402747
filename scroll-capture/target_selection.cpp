// The "select" command: the user drags a region, and the window under it becomes the target.
#include <chrono>

#include "messages.h"
#include "scroll_capture_helper.h"

namespace orvel::scroll {

namespace {
constexpr double kMinWidth = 64;
constexpr double kMinHeight = 100;
constexpr auto kSettlePause = std::chrono::milliseconds(150);
}  // namespace

Task<Outcome<Json>> ScrollCaptureHelper::selectRegion() {
  if (!ports_.permissions.screenCaptureAllowed()) {
    co_return refused(platform::PermissionReply::kScrollScreenRecording,
                      msg::kAllowScreenRecording);
  }
  if (!ports_.permissions.postEventAllowed() || !ports_.permissions.accessibilityTrusted()) {
    co_return refused(platform::PermissionReply::kScrollAccessibility, msg::kNeedAccessibility);
  }
  // Before the user drags: a region chosen over no window list could only fail.
  if (auto why = ports_.windowServer.whyUnreadable()) co_return fail(*why);
  // Before the overlay appears, so the pictures can leave it out exactly; an earlier target's
  // hold goes only once this one is taken, so nothing is undone in between.
  auto exclusions = ports_.capture.holdExclusions();
  state_.exclusions.reset();
  state_.lockedTarget.reset();
  auto chosen = co_await chooseRegion(msg::kSelectInstruction);
  if (!chosen) co_return Json{{"ok", true}, {"canceled", true}};
  // A list still being asked for when the drag began has its answer now.
  if (auto why = ports_.windowServer.whyUnreadable()) co_return fail(*why);
  const Rect region = *chosen;
  co_await sleepFor(loop_, kSettlePause);

  if (region.width < kMinWidth || region.height < kMinHeight) co_return fail(msg::kRegionTooSmall);

  std::optional<platform::ScreenInfo> screen;
  Rect screenBounds;
  for (const auto& s : ports_.screens.screens()) {
    if (!s.displayID) continue;
    auto bounds = ports_.screens.displayBounds(*s.displayID);
    if (bounds && bounds->contains(region)) {
      screen = s;
      screenBounds = *bounds;
      break;
    }
  }
  if (!screen) co_return fail(msg::kRegionNotOnOneDisplay);

  const Point centre = region.center();
  const Json list = windows();
  const Json* entry = nullptr;
  std::optional<ScrollWindowInfo> info;
  for (const auto& dictionary : list) {
    info = ScrollWindowInfo::make(dictionary);
    if (info && windowPolicy().isTarget(*info, centre)) {
      entry = &dictionary;
      break;
    }
  }
  if (!entry) co_return fail(msg::kRegionNotInWindow);
  const Rect windowBounds = windowRect(*entry);
  if (!windowBounds.contains(region)) co_return fail(msg::kRegionNotInWindow);

  std::optional<std::string> bundleID;
  if (auto app = ports_.workspace.application(info->ownerPID)) bundleID = app->bundleID;
  auto target = MacScrollTarget::make(info->ownerPID, bundleID, info->id, windowBounds, region);
  if (!target) co_return fail(msg::kCannotIdentifyTarget);

  state_.lockedTarget = *target;
  state_.chosenRegion = target->region;
  state_.targetTitle = readString(*entry, platform::kCGWindowName);
  state_.scrollMethod = ScrollEventMethod::pixels;
  state_.displayID = *screen->displayID;
  state_.scale = screen->backingScale;
  // A capture set up for an earlier target must never deliver frames for this one.
  state_.filter.reset();
  state_.configuration.reset();

  auto size = co_await setUpCapture(region, std::move(exclusions));
  if (!size) co_return unexpected(std::move(size).error());
  auto activated = co_await activateTarget();
  if (!activated) co_return unexpected(std::move(activated).error());
  // The user's release leaves the pointer on the region's corner, where a drawn cursor would be in
  // the first frame.
  if (target->rest) ports_.scrollEvents.restPointer(*target->rest);

  co_return Json{
      {"ok", true},           {"region", rectJSON(region)}, {"screen", rectJSON(screenBounds)},
      {"width", size->first}, {"height", size->second},     {"scale", state_.scale}};
}

}  // namespace orvel::scroll
