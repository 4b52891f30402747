#include "content_bounds.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "scroll_notification_host.h"

namespace orvel::scroll {

namespace {

using platform::AXElement;
using platform::AXValue;

constexpr auto kReadingTime = std::chrono::milliseconds(800);
constexpr float kWindowsTimeout = 0.25f;
constexpr float kAttributeTimeout = 0.08f;
constexpr std::size_t kMaxAXWindows = 64;
constexpr std::size_t kMaxChildren = 64;
constexpr int kMaxElements = 128;
constexpr int kMaxDepth = 8;
constexpr int kDockDepth = 3;
constexpr const char* kDockBundleID = "com.apple.dock";
// A shape of more rectangles than this is no dock or popup outline: the window counts whole.
constexpr std::size_t kMaxShapeRects = 128;
constexpr double kContentMargin = 16;

bool isElementArray(const AXValue& v, std::size_t limit) {
  if (v.kind != AXValue::Kind::Array || v.array.size() > limit) return false;
  return std::all_of(v.array.begin(), v.array.end(),
                     [](const AXValue& e) { return e.kind == AXValue::Kind::Element; });
}

std::optional<Rect> geometry(const std::optional<AXValue>& position,
                             const std::optional<AXValue>& size) {
  if (!position || position->kind != AXValue::Kind::Point) return std::nullopt;
  if (!size || size->kind != AXValue::Kind::Size) return std::nullopt;
  return Rect{position->a, position->b, size->a, size->b};
}

// One notification window's reading: a deadline, a success flag and an element budget.
class NotificationReading {
 public:
  NotificationReading(ContentBoundsPorts ports)
      : ports_(ports), deadline_(ports.clock.now() + kReadingTime) {}

  bool succeeded() const { return success_; }

  std::optional<AXValue> attribute(AXElement element, const std::string& name,
                                   bool optional = false) {
    if (ports_.clock.now() >= deadline_) {
      success_ = false;
      return std::nullopt;
    }
    ports_.accessibility.setMessagingTimeout(
        element, name == "AXWindows" ? kWindowsTimeout : kAttributeTimeout);
    auto value = ports_.accessibility.copyAttributeValue(element, name);
    if (value) return std::move(*value);
    const int code = value.error();
    const bool tolerated = optional && (code == platform::kAXErrorAttributeUnsupported ||
                                        code == platform::kAXErrorNoValue);
    if (!tolerated) success_ = false;
    return std::nullopt;
  }

  std::optional<ScrollAXNode> node(AXElement element, int depth, bool descend) {
    if (++elements_ > kMaxElements || depth >= kMaxDepth) return std::nullopt;
    auto role = attribute(element, "AXRole");
    if (!role || role->kind != AXValue::Kind::String) return std::nullopt;
    auto bounds = geometry(attribute(element, "AXPosition"), attribute(element, "AXSize"));
    if (!bounds) return std::nullopt;
    auto subrole = attribute(element, "AXSubrole", true);
    ScrollAXNode n{role->string, std::nullopt, bounds, std::nullopt, false};
    if (subrole && subrole->kind == AXValue::Kind::String) n.subrole = subrole->string;
    auto hidden = attribute(element, "AXHidden", true);
    if (hidden && hidden->kind == AXValue::Kind::Number) n.hidden = hidden->number != 0;
    if (!descend || n.hidden || bounds->isEmpty() || ScrollNotificationHost::isNotification(n)) {
      return n;
    }
    auto children = attribute(element, "AXChildren");
    if (!children || !isElementArray(*children, kMaxChildren)) return std::nullopt;
    n.children.emplace();
    for (const auto& child : children->array) {
      if (auto c = node(child.element, depth + 1, true)) n.children->push_back(std::move(*c));
    }
    return n;
  }

 private:
  ContentBoundsPorts ports_;
  TimePoint deadline_;
  bool success_ = true;
  int elements_ = 0;
};

// The notification host windows in front of the target that meet the region, front-most first.
std::vector<ScrollWindowInfo> notificationCandidates(const Json& windows, const Rect& region,
                                                     std::uint32_t targetID,
                                                     const ScrollWindowPolicy& policy) {
  std::vector<ScrollWindowInfo> out;
  if (!windows.is_array()) return out;
  for (const auto& dictionary : windows) {
    auto info = ScrollWindowInfo::make(dictionary);
    if (!info) continue;
    if (info->id == targetID) break;
    if (policy.notificationPIDs().count(info->ownerPID) &&
        ScrollNotificationHost::isCandidate(*info, policy.dockLevel()) &&
        info->bounds.intersects(region)) {
      out.push_back(std::move(*info));
    }
  }
  return out;
}

std::optional<AXValue> plainAttribute(platform::Accessibility& ax, AXElement e, const char* name) {
  auto value = ax.copyAttributeValue(e, name);
  if (!value) return std::nullopt;
  return std::move(*value);
}

struct DockWalk {
  platform::Accessibility& ax;
  std::vector<Rect> collected;
  bool found = false;

  bool visit(AXElement e, int depth) {
    if (depth > kDockDepth) return true;
    auto role = plainAttribute(ax, e, "AXRole");
    if (role && role->kind == AXValue::Kind::String && role->string == "AXList") {
      found = true;
      auto hidden = plainAttribute(ax, e, "AXHidden");
      if (hidden && hidden->kind == AXValue::Kind::Number && hidden->number != 0) return true;
      auto r = geometry(plainAttribute(ax, e, "AXPosition"), plainAttribute(ax, e, "AXSize"));
      if (!r || !r->isFinite()) return false;
      if (r->width > 0 && r->height > 0) collected.push_back(*r);
      return true;
    }
    auto children = plainAttribute(ax, e, "AXChildren");
    if (!children || !isElementArray(*children, SIZE_MAX)) return true;
    for (const auto& child : children->array) {
      if (!visit(child.element, depth + 1)) return false;
    }
    return true;
  }
};

}  // namespace

ContentOwners AccessibilityContentBounds::owners() {
  auto pids = [&](const char* bundleID) {
    auto list = ports_.workspace.pidsWithBundleID(bundleID);
    return std::set<std::int32_t>(list.begin(), list.end());
  };
  return {pids(kDockBundleID), pids(ScrollNotificationHost::bundleID)};
}

std::optional<std::vector<Rect>> AccessibilityContentBounds::dockContentBounds(
    const Json& /*windows: the Dock's lists are read from its tree*/,
    const ScrollWindowPolicy& policy) {
  const ContentBoundsPorts ports = ports_;
  DockWalk walk{ports.accessibility, {}, false};
  for (std::int32_t pid : policy.dockPIDs()) {
    auto app = ports.workspace.application(pid);
    if (!app || app->bundleID != std::string(kDockBundleID)) return std::nullopt;
    if (!walk.visit(ports.accessibility.applicationElement(pid), 0)) return std::nullopt;
  }
  if (!walk.found) return std::nullopt;
  return walk.collected;
}

NotificationContent AccessibilityContentBounds::notificationContentBounds(
    const Json& windows, const Rect& region, std::uint32_t targetID,
    const ScrollWindowPolicy& policy) {
  const ContentBoundsPorts ports = ports_;
  NotificationContent result;
  std::vector<Rect> displays;
  bool displaysRead = false;
  for (const auto& candidate : notificationCandidates(windows, region, targetID, policy)) {
    const ScrollWindowInfo* info = &candidate;
    if (!displaysRead) {
      // Read lazily: most lists hold no candidate at all.
      for (const auto& screen : ports.screens.screens()) {
        if (!screen.displayID) continue;
        if (auto b = ports.screens.displayBounds(*screen.displayID)) displays.push_back(*b);
      }
      displaysRead = true;
    }
    if (std::none_of(displays.begin(), displays.end(),
                     [&](const Rect& d) { return d == info->bounds; })) {
      continue;
    }
    auto app = ports.workspace.application(info->ownerPID);
    if (!app || app->bundleID != std::string(ScrollNotificationHost::bundleID)) continue;

    NotificationReading reading(ports);
    const AXElement appElement = ports.accessibility.applicationElement(info->ownerPID);
    auto axWindows = reading.attribute(appElement, "AXWindows");
    if (!axWindows || !isElementArray(*axWindows, kMaxAXWindows)) continue;
    std::vector<ScrollAXNode> nodes;
    for (const auto& w : axWindows->array) {
      auto shallow = reading.node(w.element, 0, false);
      if (!shallow) break;
      if (shallow->bounds && *shallow->bounds == info->bounds) {
        auto full = reading.node(w.element, 0, true);
        if (!full) break;
        shallow = std::move(full);
      }
      nodes.push_back(std::move(*shallow));
    }
    if (!reading.succeeded()) continue;
    if (auto rects = ScrollNotificationHost::contentBounds(*info, ScrollNotificationHost::bundleID,
                                                           displays, nodes, policy.dockLevel())) {
      result[info->id] = std::move(*rects);
    }
  }
  return result;
}

ContentOwners ShapeContentBounds::owners() {
  ContentOwners out;
  const Json list = windowServer_.onScreenWindows();
  if (!list.is_array()) return out;
  const std::int64_t dockLevel = windowServer_.dockLevel();
  for (const auto& dictionary : list) {
    auto info = ScrollWindowInfo::make(dictionary);
    if (!info) continue;
    if (info->layer == dockLevel) out.dockPIDs.insert(info->ownerPID);
    if (info->layer == ScrollNotificationHost::layer(dockLevel)) {
      out.notificationPIDs.insert(info->ownerPID);
    }
  }
  return out;
}

std::optional<std::vector<Rect>> ShapeContentBounds::dockContentBounds(
    const Json& windows, const ScrollWindowPolicy& policy) {
  if (!windows.is_array()) return std::nullopt;
  std::vector<Rect> collected;
  bool found = false;
  for (const auto& dictionary : windows) {
    auto info = ScrollWindowInfo::make(dictionary);
    if (!info || !policy.dockPIDs().count(info->ownerPID) || info->layer != policy.dockLevel()) {
      continue;
    }
    found = true;
    auto shape = shapes_.contentShape(info->id);
    const bool readable =
        shape && shape->size() <= kMaxShapeRects &&
        std::all_of(shape->begin(), shape->end(), [](const Rect& r) { return r.isFinite(); });
    if (!readable) {
      // Without a shape the window is what it draws: its frame counts.
      collected.push_back(info->bounds);
      continue;
    }
    for (const Rect& r : *shape) {
      const Rect part = r.intersection(info->bounds);
      if (!part.isEmpty()) collected.push_back(part);
    }
  }
  if (!found) return std::nullopt;
  return collected;
}

NotificationContent ShapeContentBounds::notificationContentBounds(
    const Json& windows, const Rect& region, std::uint32_t targetID,
    const ScrollWindowPolicy& policy) {
  NotificationContent result;
  for (const auto& candidate : notificationCandidates(windows, region, targetID, policy)) {
    const ScrollWindowInfo* info = &candidate;
    const TimePoint deadline = clock_.now() + kReadingTime;
    auto shape = shapes_.contentShape(info->id);
    if (!shape || clock_.now() >= deadline || shape->size() > kMaxShapeRects) continue;
    std::vector<Rect> rects;
    bool wellFormed = true;
    for (const Rect& r : *shape) {
      if (!r.isFinite()) {
        wellFormed = false;
        break;
      }
      const Rect widened = r.insetBy(-kContentMargin, -kContentMargin).intersection(info->bounds);
      if (!widened.isEmpty()) rects.push_back(widened);
    }
    if (wellFormed) result[info->id] = std::move(rects);
  }
  return result;
}

}  // namespace orvel::scroll
