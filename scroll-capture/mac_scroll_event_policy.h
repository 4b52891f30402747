// Turns a scroll request (a signed fraction of the region's height) into a short burst of wheel
// events aimed at the region's centre. A positive fraction moves the content towards its end.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "mac_scroll_target.h"
#include "platform/scroll_events.h"

namespace orvel::scroll {

struct MacScrollEventPolicy {
  // "ORVEL" as a big-endian number, written into every event we make.
  static constexpr std::int64_t eventTag = 0x4F5256454C;

  // The whole burst, or nothing when the request is out of range or an event cannot be made.
  static std::optional<std::vector<platform::ScrollWheelEvent>> events(platform::ScrollEvents& port,
                                                                       const Rect& region,
                                                                       double fraction,
                                                                       ScrollEventMethod method);
  static std::optional<std::vector<platform::ScrollWheelEvent>> events(
      platform::ScrollEvents& port, const MacScrollTarget& target, double fraction,
      ScrollEventMethod method);
  static void post(platform::ScrollEvents& port, platform::ScrollWheelEvent event,
                   const MacScrollTarget& target);
};

}  // namespace orvel::scroll
