#include "scroll_window_policy.h"

#include "scroll_notification_host.h"

namespace orvel::scroll {

namespace {
constexpr double kInvisibleAlpha = 0.1;

bool anyMeetsBoth(const std::vector<Rect>& rects, const Rect& region, const Rect& frame) {
  for (const auto& r : rects) {
    if (r.intersects(region) && r.intersects(frame)) return true;
  }
  return false;
}
}  // namespace

ScrollWindowPolicy::ScrollWindowPolicy(std::set<std::int32_t> ownPIDs,
                                       std::set<std::int32_t> dockPIDs,
                                       std::set<std::int32_t> notificationPIDs,
                                       std::int64_t cursorLevel, std::int64_t dockLevel)
    : ownPIDs_(std::move(ownPIDs)),
      dockPIDs_(std::move(dockPIDs)),
      notificationPIDs_(std::move(notificationPIDs)),
      cursorLevel_(cursorLevel),
      dockLevel_(dockLevel) {
  consideredPIDs_.insert(dockPIDs_.begin(), dockPIDs_.end());
  consideredPIDs_.insert(notificationPIDs_.begin(), notificationPIDs_.end());
}

bool ScrollWindowPolicy::atContentLevel(const ScrollWindowInfo& window) const {
  return !ownPIDs_.count(window.ownerPID) &&
         (window.layer == dockLevel_ || window.layer == ScrollNotificationHost::layer(dockLevel_));
}

bool ScrollWindowPolicy::meetsNewContentOwner(const std::vector<ScrollWindowInfo>& windows) const {
  for (const auto& w : windows) {
    if (atContentLevel(w) && !consideredPIDs_.count(w.ownerPID)) return true;
  }
  return false;
}

ScrollWindowPolicy ScrollWindowPolicy::withOwners(
    std::set<std::int32_t> dockPIDs, std::set<std::int32_t> notificationPIDs,
    const std::vector<ScrollWindowInfo>& windows) const {
  ScrollWindowPolicy out(ownPIDs_, std::move(dockPIDs), std::move(notificationPIDs), cursorLevel_,
                         dockLevel_);
  out.consideredPIDs_.insert(consideredPIDs_.begin(), consideredPIDs_.end());
  for (const auto& w : windows) {
    if (atContentLevel(w)) out.consideredPIDs_.insert(w.ownerPID);
  }
  return out;
}

bool ScrollWindowPolicy::isTarget(const ScrollWindowInfo& window, Point point) const {
  return !ownPIDs_.count(window.ownerPID) && window.layer == 0 && window.alpha > kInvisibleAlpha &&
         window.bounds.contains(point);
}

std::optional<ScrollWindowInfo> ScrollWindowPolicy::occluder(
    const std::vector<ScrollWindowInfo>& windows, std::uint32_t above, const Rect& region,
    const std::optional<std::vector<Rect>>& dockContentBounds,
    const NotificationContent& notificationContentBounds) const {
  for (const auto& w : windows) {
    if (w.id == above) return std::nullopt;
    if (ownPIDs_.count(w.ownerPID) || w.layer == cursorLevel_) continue;

    if (notificationPIDs_.count(w.ownerPID) && ScrollNotificationHost::isCandidate(w, dockLevel_)) {
      auto entry = notificationContentBounds.find(w.id);
      if (entry != notificationContentBounds.end()) {
        if (anyMeetsBoth(entry->second, region, w.bounds)) return w;
        continue;
      }
    }
    if (dockPIDs_.count(w.ownerPID) && w.layer == dockLevel_ && dockContentBounds) {
      if (w.alpha > kInvisibleAlpha && anyMeetsBoth(*dockContentBounds, region, w.bounds)) return w;
      continue;
    }
    if (w.alpha > kInvisibleAlpha && w.bounds.intersects(region)) return w;
  }
  return std::nullopt;
}

}  // namespace orvel::scroll
