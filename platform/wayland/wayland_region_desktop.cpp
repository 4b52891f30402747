#include "platform/wayland/wayland_region_desktop.h"

namespace orvel::wayland {

WaylandRegionDesktop::WaylandRegionDesktop(EventLoop& loop, const char* display)
    : connection_(WaylandConnection::open(display)) {
  whyNot_ = whyNotForCapture(connection_.get());
  if (!whyNot_.empty()) return;
  capture_ = std::make_unique<WaylandScreenCapture>(display);
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
