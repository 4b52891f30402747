#include "mac_scroll_target.h"

#include "pointer_rest.h"

namespace orvel::scroll {

std::optional<MacScrollTarget> MacScrollTarget::make(std::int32_t pid,
                                                     const std::optional<std::string>& bundleID,
                                                     std::uint32_t windowID,
                                                     const Rect& windowBounds, const Rect& region) {
  if (pid <= 0) return std::nullopt;
  if (windowID == 0) return std::nullopt;
  if (!bundleID || bundleID->empty()) return std::nullopt;
  if (!region.isFinite()) return std::nullopt;
  const Rect r = region.standardized();
  if (!(r.width > 0) || !(r.height > 0)) return std::nullopt;
  if (!windowBounds.contains(region)) return std::nullopt;
  return MacScrollTarget{pid,
                         *bundleID,
                         windowID,
                         windowBounds,
                         region,
                         region.center(),
                         pointerRestingPlace(windowBounds, region)};
}

bool MacScrollTarget::matches(std::int32_t otherPID, const std::optional<std::string>& otherBundle,
                              std::uint32_t otherWindow, const Rect& bounds) const {
  return otherPID == pid && otherBundle && *otherBundle == bundleID && otherWindow == windowID &&
         bounds == windowBounds;
}

}  // namespace orvel::scroll
