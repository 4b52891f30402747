#include "platform/gnome/gnome_region_desktop.h"

namespace orvel::gnome {

GnomeRegionDesktop::GnomeRegionDesktop(EventLoop& loop, const char* display,
                                       std::string activationToken)
    : connection_(wayland::WaylandConnection::open(display)) {
  if (!connection_) {
    whyNot_ = "no Wayland compositor answers";
    return;
  }
  if (connection_->screencopy() || connection_->layerShell()) {
    whyNot_ = "the Wayland compositor offers wlroots protocols (not GNOME Shell)";
    return;
  }
  if (!connection_->wmBase() || !connection_->seat() || !connection_->shm()) {
    whyNot_ = "the Wayland compositor offers no xdg_wm_base, seat or wl_shm";
    return;
  }
  capture_ = std::make_unique<GnomeScreenCapture>(display);
  if (auto why = capture_->whyNotAvailable()) {
    whyNot_ = *why;
    return;
  }
  usable_ = true;
  pump_ = std::make_unique<wayland::WaylandEventPump>(loop, *connection_);
  screens_ = std::make_unique<wayland::WaylandScreens>(*connection_);
  // The ScreenCast service answered: pictures need nobody's consent; input is the overlay's own.
  permissions_ = std::make_unique<wayland::WaylandPermissions>(true, true);
  permissions_->allowWhileReachable(*connection_);
  // Mutter focuses a new window after it has mapped it, and only once it shows a picture: another
  // client holding the keyboard cannot be told from a focus still to come.
  shield_ = std::make_unique<wayland::WaylandInputShield>(*connection_, /*judgesFocus=*/false);
  overlay_ = std::make_unique<wayland::WaylandOverlay>(
      loop, *connection_, *screens_, *shield_, wayland::WaylandOverlay::Mode::kFrozen,
      wayland::WaylandOverlay::Role::kFullscreenWindow, std::move(activationToken));
}

GnomeRegionDesktop::~GnomeRegionDesktop() {
  overlay_.reset();
  shield_.reset();
  pump_.reset();
}

}  // namespace orvel::gnome
