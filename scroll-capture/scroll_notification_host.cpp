#include "scroll_notification_host.h"

#include <algorithm>

namespace orvel::scroll {

namespace {

constexpr int kMaxDepth = 8;
constexpr double kContentMargin = 16;

bool isEmptyOrAbsent(const std::optional<std::string>& s) {
  return !s || s->empty();
}

// Walks the tree below the hosting view, collecting content rectangles.
struct ContentWalk {
  const Rect& windowBounds;
  std::vector<Rect> collected;
  int scrollAreas = 0;

  bool visit(const ScrollAXNode& n, int depth, bool inScrollArea) {
    if (depth >= kMaxDepth || !n.bounds || !n.bounds->isFinite()) return false;
    const Rect& b = *n.bounds;
    if (n.hidden || b.isEmpty()) return true;

    const bool plainEmptyGroup =
        n.role == "AXGroup" && isEmptyOrAbsent(n.subrole) && n.children && n.children->empty();
    if (ScrollNotificationHost::isNotification(n) || (inScrollArea && plainEmptyGroup)) {
      const Rect widened = b.insetBy(-kContentMargin, -kContentMargin).intersection(windowBounds);
      if (!widened.isEmpty()) collected.push_back(widened);
      return true;
    }

    if (!b.intersects(windowBounds)) return false;
    if (n.role != "AXGroup" && n.role != "AXScrollArea") return false;
    if (!isEmptyOrAbsent(n.subrole) && *n.subrole != "AXHostingView") return false;
    if (!n.children) return false;
    const bool isScrollArea = n.role == "AXScrollArea";
    if (isScrollArea) ++scrollAreas;
    for (const auto& child : *n.children) {
      if (!visit(child, depth + 1, inScrollArea || isScrollArea)) return false;
    }
    return true;
  }
};

}  // namespace

bool ScrollNotificationHost::isCandidate(const ScrollWindowInfo& window, std::int64_t dockLevel) {
  return window.layer == layer(dockLevel) && window.alpha > 0.1 && window.onscreen == true &&
         window.sharingState && (*window.sharingState == 1 || *window.sharingState == 2);
}

bool ScrollNotificationHost::isNotification(const ScrollAXNode& node) {
  if (node.role != "AXGroup") return false;
  const std::string subrole = node.subrole.value_or("");
  return subrole == "AXNotificationCenterAlert" || subrole == "AXNotificationCenterBanner" ||
         subrole == "AXNotificationCenterBannerStack";
}

std::optional<std::vector<Rect>> ScrollNotificationHost::contentBounds(
    const ScrollWindowInfo& window, const std::optional<std::string>& ownerBundleID,
    const std::vector<Rect>& displayBounds, const std::vector<ScrollAXNode>& axWindows,
    std::int64_t dockLevel) {
  if (ownerBundleID != std::string(bundleID)) return std::nullopt;
  if (!isCandidate(window, dockLevel)) return std::nullopt;
  if (std::none_of(displayBounds.begin(), displayBounds.end(),
                   [&](const Rect& d) { return d == window.bounds; })) {
    return std::nullopt;
  }
  const ScrollAXNode* element = nullptr;
  for (const auto& node : axWindows) {
    if (node.bounds && *node.bounds == window.bounds) {
      if (element) return std::nullopt;  // ambiguous
      element = &node;
    }
  }
  if (!element) return std::nullopt;
  if (element->role != "AXWindow" || element->subrole != "AXSystemDialog" || element->hidden) {
    return std::nullopt;
  }
  if (!element->children || element->children->size() != 1) return std::nullopt;
  const ScrollAXNode& root = element->children->front();
  if (root.role != "AXGroup" || root.subrole != "AXHostingView" || !root.bounds ||
      !(*root.bounds == window.bounds) || root.hidden) {
    return std::nullopt;
  }
  ContentWalk walk{window.bounds, {}, 0};
  if (!walk.visit(root, 0, false) || walk.scrollAreas == 0) return std::nullopt;
  return walk.collected;
}

}  // namespace orvel::scroll
