// Rules for the notification host's windows: which windows are banner overlays whose content can be
// read, and which accessibility trees have the expected shape.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "scroll_ax_node.h"
#include "scroll_window_info.h"

namespace orvel::scroll {

struct ScrollNotificationHost {
  static constexpr const char* bundleID = "com.apple.notificationcenterui";
  // One level above the Dock.
  static std::int64_t layer(std::int64_t dockLevel) { return dockLevel + 1; }

  static bool isCandidate(const ScrollWindowInfo& window, std::int64_t dockLevel);
  static bool isNotification(const ScrollAXNode& node);
  // The content rectangles of a notification host window, each widened by 16 points and clipped to
  // the window; nothing when the window or its tree does not have the expected shape.
  static std::optional<std::vector<Rect>> contentBounds(
      const ScrollWindowInfo& window, const std::optional<std::string>& ownerBundleID,
      const std::vector<Rect>& displayBounds, const std::vector<ScrollAXNode>& axWindows,
      std::int64_t dockLevel);
};

}  // namespace orvel::scroll
