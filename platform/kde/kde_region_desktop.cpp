#include "platform/kde/kde_region_desktop.h"

namespace orvel::kde {

KdeRegionDesktop::KdeRegionDesktop(EventLoop& loop, const char* display)
    : connection_(wayland::WaylandConnection::open(display)) {
  if (!connection_) {
    whyNot_ = "no Wayland compositor answers";
    return;
  }
  if (connection_->screencopy()) {
    whyNot_ = "the Wayland compositor offers screencopy (a wlroots compositor)";
    return;
  }
  if (!connection_->layerShell() || !connection_->seat() || !connection_->shm()) {
    whyNot_ = "the Wayland compositor offers no zwlr_layer_shell_v1, seat or wl_shm";
    return;
  }
  capture_ = std::make_unique<KWinScreenCapture>(display);
  if (auto why = capture_->whyNotAvailable()) {
    whyNot_ = *why;
    return;
  }
  std::string refusal;
  capture_->authorised(refusal);
  usable_ = true;
  pump_ = std::make_unique<wayland::WaylandEventPump>(loop, *connection_);
  screens_ = std::make_unique<wayland::WaylandScreens>(*connection_);
  permissions_ = std::make_unique<KdePermissions>(std::move(refusal), *connection_);
  // KWin focuses the overlay only once it has shown it: another client holding the keyboard
  // cannot be told from a focus still to come.
  shield_ = std::make_unique<wayland::WaylandInputShield>(*connection_, /*judgesFocus=*/false);
  overlay_ = std::make_unique<wayland::WaylandOverlay>(loop, *connection_, *screens_, *shield_);
}

KdeRegionDesktop::~KdeRegionDesktop() {
  overlay_.reset();
  shield_.reset();
  pump_.reset();
}

}  // namespace orvel::kde
