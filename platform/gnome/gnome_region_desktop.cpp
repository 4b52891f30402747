#include "platform/gnome/gnome_region_desktop.h"

namespace orvel::gnome {

GnomeRegionDesktop::GnomeRegionDesktop(EventLoop& loop, const char* display,
                                       std::string activationToken)
    : LayerShellRegionDesktop(wayland::WaylandConnection::open(display)) {
  wayland::WaylandConnection* c = connection();
  if (!c) {
    decline("no Wayland compositor answers");
    return;
  }
  if (c->screencopy() || c->layerShell()) {
    decline("the Wayland compositor offers wlroots protocols (not GNOME Shell)");
    return;
  }
  if (!c->wmBase() || !c->seat() || !c->shm()) {
    decline("the Wayland compositor offers no xdg_wm_base, seat or wl_shm");
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
  start(loop, /*judgesFocus=*/false, wayland::WaylandOverlay::Role::kFullscreenWindow,
        std::move(activationToken));
}

}  // namespace orvel::gnome
