#include "platform/wayland/wayland_region_desktop.h"

namespace orvel::wayland {

WaylandRegionDesktop::WaylandRegionDesktop(EventLoop& loop, const char* display)
    : WaylandRegionDesktop(loop, display, std::make_shared<StallWatch>()) {}

WaylandRegionDesktop::WaylandRegionDesktop(EventLoop& loop, const char* display,
                                           std::shared_ptr<StallWatch> stalls)
    : LayerShellRegionDesktop(WaylandConnection::open(display, stalls)),
      stalls_(std::move(stalls)) {
  if (declines(whyNotForCapture(connection()))) return;
  // A stalled compositor stalls both connections: a capture waits for it once, not once on each.
  capture_ = std::make_unique<WaylandScreenCapture>(display, stalls_);
  if (!capture_->available()) {
    decline("the Wayland compositor refused a second connection");
    return;
  }
  permissions_ = std::make_unique<WaylandPermissions>(true, true);
  start(loop, FocusJudgement::kOnceMapped);
}

}  // namespace orvel::wayland
