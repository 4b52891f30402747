// Everything the scroll-capture helper remembers between commands. Main thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mac_scroll_target.h"
#include "messages.h"
#include "orvel/common/geometry.h"
#include "orvel/common/one_shot.h"
#include "platform/overlay.h"
#include "platform/screen_capture.h"

namespace orvel::scroll {

struct ScrollHelperState {
  std::vector<std::unique_ptr<platform::OverlayPanel>> panels;
  // The running selection's pending result; absent when no selection waits.
  std::optional<OneShot<std::optional<Rect>>> selection;
  std::optional<Point> startPoint;
  std::string selectionInstruction = msg::kSelectInstruction;
  std::optional<Rect> chosenRegion;

  std::optional<MacScrollTarget> lockedTarget;
  std::optional<std::string> targetTitle;
  ScrollEventMethod scrollMethod = ScrollEventMethod::pixels;
  std::uint32_t displayID = 0;
  double scale = 1.0;
  std::optional<platform::ContentFilter> filter;
  std::optional<platform::CaptureConfiguration> configuration;
  // Kept with the target while an excluded window overlapped its region at setup.
  std::unique_ptr<platform::ExclusionHold> exclusions;

  std::uint32_t targetID() const { return lockedTarget ? lockedTarget->windowID : 0; }
  std::int32_t targetPID() const { return lockedTarget ? lockedTarget->pid : 0; }
};

}  // namespace orvel::scroll
