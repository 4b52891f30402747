// Reads where the Dock and notification banners actually draw, through accessibility, so that
// their mostly transparent full-screen windows only cover a region where their content is.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "orvel/common/clock.h"
#include "orvel/common/json_text.h"
#include "platform/accessibility.h"
#include "platform/screens.h"
#include "platform/workspace.h"
#include "scroll_window_policy.h"

namespace orvel::scroll {

struct ContentBoundsPorts {
  platform::Accessibility& accessibility;
  platform::Workspace& workspace;
  platform::Screens& screens;
  const Clock& clock;
};

// The rectangles of the Dock's visible lists; nothing when the Dock cannot be read or shows no
// list within three levels of its application element.
std::optional<std::vector<Rect>> dockContentBounds(const ScrollWindowPolicy& policy,
                                                   ContentBoundsPorts ports);

// For each notification host window in front of window `targetID` that spans a whole display and
// meets `region`, its content rectangles. Windows whose reading failed, timed out or met an
// unexpected tree have no entry. `windows` is the window list, front-most first.
NotificationContent notificationContentBounds(const Json& windows, const Rect& region,
                                              std::uint32_t targetID,
                                              const ScrollWindowPolicy& policy,
                                              ContentBoundsPorts ports);

}  // namespace orvel::scroll
