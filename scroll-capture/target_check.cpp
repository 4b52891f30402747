// The check made before and after every frame and before every scroll event.
#include "content_bounds.h"
#include "messages.h"
#include "scroll_capture_helper.h"
#include "scroll_notification_host.h"

namespace orvel::scroll {

namespace {
std::vector<ScrollWindowInfo> records(const Json& list) {
  std::vector<ScrollWindowInfo> out;
  out.reserve(list.size());
  for (const auto& dictionary : list) {
    if (auto info = ScrollWindowInfo::make(dictionary)) out.push_back(std::move(*info));
  }
  return out;
}
}  // namespace

Outcome<> ScrollCaptureHelper::validate() {
  auto& permissions = ports_.permissions;
  if (!permissions.screenCaptureAllowed() || !permissions.postEventAllowed() ||
      !permissions.accessibilityTrusted()) {
    return fail(msg::kPermissionUnavailable);
  }
  if (ports_.keys.isKeyDown(platform::kEscapeKeyCode)) return fail(msg::kEscapePressed);
  if (!state_.lockedTarget) return fail(msg::kTargetMoved);
  const MacScrollTarget& target = *state_.lockedTarget;

  const Json first = windows();
  const Json* entry = nullptr;
  for (const auto& dictionary : first) {
    auto number = readUInt32(dictionary, platform::kCGWindowNumber);
    if (number && *number == target.windowID) {
      entry = &dictionary;
      break;
    }
  }
  if (!entry) return fail(msg::kTargetMoved);
  const std::int32_t pid = readInt32(*entry, platform::kCGWindowOwnerPID).value_or(0);
  std::optional<std::string> bundleID;
  if (auto app = ports_.workspace.application(pid)) bundleID = app->bundleID;
  if (!target.matches(pid, bundleID, target.windowID, windowRect(*entry))) {
    return fail(msg::kTargetMoved);
  }
  if (state_.targetTitle) {
    auto title = readString(*entry, platform::kCGWindowName);
    if (title && *title != *state_.targetTitle) return fail(msg::kTargetContentChanged);
  }
  auto front = ports_.workspace.frontmostPID();
  if (!front || *front != state_.targetPID()) return fail(msg::kTargetLostFocus);

  ContentBoundsReader& content = ports_.contentBounds;
  const Rect& region = target.region;
  Json list = windows();
  auto infos = records(list);
  const ScrollWindowPolicy& policy = windowPolicy(infos);
  const auto dock = content.dockContentBounds(list, policy);
  auto notes = content.notificationContentBounds(list, region, state_.targetID(), policy);
  for (const auto& w : infos) {
    if (policy.notificationPIDs().count(w.ownerPID) &&
        ScrollNotificationHost::isCandidate(w, policy.dockLevel()) && w.bounds.intersects(region) &&
        !notes.count(w.id)) {
      // A banner may have been mid-animation: read once more before judging it by its frame.
      list = windows();
      notes = content.notificationContentBounds(list, region, state_.targetID(), policy);
      infos = records(list);
      break;
    }
  }
  if (policy.occluder(infos, state_.targetID(), region, dock, notes)) {
    return fail(msg::kRegionCovered);
  }
  return {};
}

}  // namespace orvel::scroll
