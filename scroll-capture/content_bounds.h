// Where docks and notification hosts actually draw, so that their windows, often larger than what
// they show, only cover a region where their content is. One service, two readings:
// - AccessibilityContentBounds reads the accessibility trees of the Dock and of the notification
//   host, recognised by their application identifiers (the platform's own Dock and banners);
// - ShapeContentBounds reads window shapes: a dock is a window at the dock level (on X11, of EWMH
//   type _NET_WM_WINDOW_TYPE_DOCK), a notification host a window one level above it
//   (_NET_WM_WINDOW_TYPE_NOTIFICATION), and their content is what their shape draws and takes
//   clicks on. A notification window there is the size of its popup, so no whole-display rule
//   applies.
// Either way the reading is strict and bounded: whatever does not fit leaves the window without
// content, and the target check then judges it by its frame.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <vector>

#include "orvel/common/clock.h"
#include "orvel/common/json_text.h"
#include "platform/accessibility.h"
#include "platform/screens.h"
#include "platform/window_server.h"
#include "platform/window_shapes.h"
#include "platform/workspace.h"
#include "scroll_window_policy.h"

namespace orvel::scroll {

struct ContentOwners {
  std::set<std::int32_t> dockPIDs;
  std::set<std::int32_t> notificationPIDs;
};

class ContentBoundsReader {
 public:
  virtual ~ContentBoundsReader() = default;
  // The processes whose windows are docks and notification hosts (read when the policy is made, and
  // again when a window at their levels of another process appears).
  virtual ContentOwners owners() = 0;
  // The rectangles of the docks' content; nothing when it cannot be read or there is no dock.
  // `windows` is the window list, front-most first.
  virtual std::optional<std::vector<Rect>> dockContentBounds(const Json& windows,
                                                             const ScrollWindowPolicy& policy) = 0;
  // For each notification host window in front of window `targetID` that meets `region`, its
  // content rectangles. Windows whose reading failed, timed out or met anything unexpected have no
  // entry.
  virtual NotificationContent notificationContentBounds(const Json& windows, const Rect& region,
                                                        std::uint32_t targetID,
                                                        const ScrollWindowPolicy& policy) = 0;
};

struct ContentBoundsPorts {
  platform::Accessibility& accessibility;
  platform::Workspace& workspace;
  platform::Screens& screens;
  const Clock& clock;
};

class AccessibilityContentBounds final : public ContentBoundsReader {
 public:
  explicit AccessibilityContentBounds(ContentBoundsPorts ports) : ports_(ports) {}
  ContentOwners owners() override;
  // The rectangles of the Dock's visible lists, within three levels of its application element.
  std::optional<std::vector<Rect>> dockContentBounds(const Json& windows,
                                                     const ScrollWindowPolicy& policy) override;
  // Only windows that span a whole display are read.
  NotificationContent notificationContentBounds(const Json& windows, const Rect& region,
                                                std::uint32_t targetID,
                                                const ScrollWindowPolicy& policy) override;

 private:
  ContentBoundsPorts ports_;
};

class ShapeContentBounds final : public ContentBoundsReader {
 public:
  ShapeContentBounds(platform::WindowShapes& shapes, platform::WindowServer& windowServer,
                     const Clock& clock)
      : shapes_(shapes), windowServer_(windowServer), clock_(clock) {}
  ContentOwners owners() override;
  // Each dock window's shape, clipped to its frame; a dock window without a shape adds its frame.
  std::optional<std::vector<Rect>> dockContentBounds(const Json& windows,
                                                     const ScrollWindowPolicy& policy) override;
  NotificationContent notificationContentBounds(const Json& windows, const Rect& region,
                                                std::uint32_t targetID,
                                                const ScrollWindowPolicy& policy) override;

 private:
  platform::WindowShapes& shapes_;
  platform::WindowServer& windowServer_;
  const Clock& clock_;
};

}  // namespace orvel::scroll
