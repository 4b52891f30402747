#include "platform/wayland/wayland_region_desktop.h"

namespace orvel::wayland {

WaylandRegionDesktop::WaylandRegionDesktop(EventLoop& loop, const char* display)
    : stalls_(std::make_shared<StallWatch>()),
      connection_(WaylandConnection::open(display, stalls_)) {
  whyNot_ = whyNotForCapture(connection_.get());
  if (!whyNot_.empty()) return;
  // A stalled compositor stalls both connections: a capture waits for it once, not once on each.
  capture_ = std::make_unique<WaylandScreenCapture>(display, stalls_);
  if (!capture_->available()) {
    whyNot_ = "the Wayland compositor refused a second connection";
    return;
  }
  usable_ = true;
  pump_ = std::make_unique<WaylandEventPump>(loop, *connection_);
  screens_ = std::make_unique<WaylandScreens>(*connection_);
  permissions_ = std::make_unique<WaylandPermissions>(true, true);
  shield_ = std::make_unique<WaylandInputShield>(*connection_);
  overlay_ = std::make_unique<WaylandOverlay>(loop, *connection_, *screens_, *shield_);
}

WaylandRegionDesktop::~WaylandRegionDesktop() {
  overlay_.reset();
  shield_.reset();
  pump_.reset();
}

}  // namespace orvel::wayland
