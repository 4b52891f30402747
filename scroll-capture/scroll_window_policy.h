// Which windows may be a scrolling target and which cover it: the helper's own and its host's
// windows never count, the cursor never covers, and the Dock and notification banners cover only
// where their content lies when that content could be read.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <vector>

#include "orvel/common/geometry.h"
#include "scroll_window_info.h"

namespace orvel::scroll {

// Window numbers of notification host windows mapped to the rectangles of their content.
using NotificationContent = std::map<std::uint32_t, std::vector<Rect>>;

class ScrollWindowPolicy {
 public:
  ScrollWindowPolicy(std::set<std::int32_t> ownPIDs, std::set<std::int32_t> dockPIDs,
                     std::set<std::int32_t> notificationPIDs, std::int64_t cursorLevel,
                     std::int64_t dockLevel);

  const std::set<std::int32_t>& ownPIDs() const { return ownPIDs_; }
  const std::set<std::int32_t>& dockPIDs() const { return dockPIDs_; }
  const std::set<std::int32_t>& notificationPIDs() const { return notificationPIDs_; }
  // The processes already considered as docks or notification hosts: the owners read, and every
  // owner of a window at their levels when they were read.
  const std::set<std::int32_t>& consideredPIDs() const { return consideredPIDs_; }
  std::int64_t cursorLevel() const { return cursorLevel_; }
  std::int64_t dockLevel() const { return dockLevel_; }

  // A window the user may pick at `point`: not ours, normal level, visible, containing the point.
  bool isTarget(const ScrollWindowInfo& window, Point point) const;

  // The first window in front of window `above` (the list is front-most first) that covers
  // `region`, or nothing (also when `above` is not in the list).
  // Whether `windows` show a window at the dock or notification level whose owner was not
  // considered when the owners were read: a dock or notification daemon started since (they are
  // often started on demand), or one that restarted.
  bool meetsNewContentOwner(const std::vector<ScrollWindowInfo>& windows) const;
  // This policy with the owners read again while `windows` were shown; the owners of their windows
  // at those levels count as considered from then on, owners or not.
  ScrollWindowPolicy withOwners(std::set<std::int32_t> dockPIDs,
                                std::set<std::int32_t> notificationPIDs,
                                const std::vector<ScrollWindowInfo>& windows) const;

  std::optional<ScrollWindowInfo> occluder(
      const std::vector<ScrollWindowInfo>& windows, std::uint32_t above, const Rect& region,
      const std::optional<std::vector<Rect>>& dockContentBounds,
      const NotificationContent& notificationContentBounds = {}) const;

 private:
  bool atContentLevel(const ScrollWindowInfo& window) const;

  std::set<std::int32_t> ownPIDs_;
  std::set<std::int32_t> dockPIDs_;
  std::set<std::int32_t> notificationPIDs_;
  std::set<std::int32_t> consideredPIDs_;
  std::int64_t cursorLevel_;
  std::int64_t dockLevel_;
};

}  // namespace orvel::scroll
