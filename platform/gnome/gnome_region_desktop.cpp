#include "platform/gnome/gnome_region_desktop.h"

#include "platform/gnome/mutter_compositor.h"

namespace orvel::gnome {

GnomeRegionDesktop::GnomeRegionDesktop(EventLoop& loop, const char* display,
                                       std::string activationToken)
    : LayerShellRegionDesktop(wayland::WaylandConnection::open(display)) {
  wayland::WaylandConnection* c = connection();
  if (auto why = whyNotMutter(c); !why.empty()) {
    decline(std::move(why));
    return;
  }
  capture_ = std::make_unique<GnomeScreenCapture>(display);
  if (auto why = capture_->whyNotAvailable()) {
    decline(*why);
    return;
  }
  // The ScreenCast service answered: pictures need nobody's consent; input is the overlay's own.
  permissions_ = std::make_unique<wayland::WaylandPermissions>(true, true);
  permissions_->allowWhileReachable(*c);
  // Mutter focuses a new window after it has mapped it, and the overlay maps only once it shows a
  // picture: another client holding the keyboard cannot be told from a focus still to come.
  start(loop, wayland::FocusJudgement::kNever, wayland::WaylandOverlay::Role::kFullscreenWindow,
        std::move(activationToken));
}

}  // namespace orvel::gnome
