#include "topology.h"

#include <algorithm>

namespace orvel::region {

Topology topology(platform::Screens& screens) {
  Topology out;
  for (const auto& screen : screens.screens()) {
    // A screen without a display id counts as the null display, whose bounds are empty.
    const std::uint32_t id = screen.displayID.value_or(0);
    const Rect bounds = screen.displayID ? screens.displayBounds(id).value_or(Rect{}) : Rect{};
    out.push_back(std::to_string(id) + ":(" + formatDouble(bounds.x) + ", " +
                  formatDouble(bounds.y) + ", " + formatDouble(bounds.width) + ", " +
                  formatDouble(bounds.height) + "):" + formatDouble(screen.backingScale));
  }
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace orvel::region
