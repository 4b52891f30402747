#include "platform/gnome/gnome_region_desktop.h"

#include "platform/gnome/mutter_compositor.h"

namespace orvel::gnome {

GnomeRegionDesktop::GnomeRegionDesktop(EventLoop& loop, const char* display,
                                       std::string activationToken)
    : LayerShellRegionDesktop(wayland::WaylandConnection::open(display)) {
  wayland::WaylandConnection* c = connection();
  if (declines(whyNotMutter(c))) return;
  capture_ = std::make_unique<GnomeScreenCapture>(display);
  if (auto why = capture_->whyNotAvailable()) {
    decline(*why);
    return;
  }
  // The ScreenCast service answered: pictures need nobody's consent; input is the overlay's own.
  permissions_ = std::make_unique<wayland::WaylandPermissions>(true, true);
  permissions_->allowWhileReachable(*c);
  // Mutter focuses a new window as it shows it: an overlay window without the keyboard once it has
  // been shown (the Activities overview open, another client's grab) takes no input.
  start(loop, wayland::FocusJudgement::kOnceShown, wayland::WaylandOverlay::Role::kFullscreenWindow,
        std::move(activationToken));
}

}  // namespace orvel::gnome
