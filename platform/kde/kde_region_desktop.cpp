#include "platform/kde/kde_region_desktop.h"

namespace orvel::kde {

KdeRegionDesktop::KdeRegionDesktop(EventLoop& loop, const char* display)
    : LayerShellRegionDesktop(wayland::WaylandConnection::open(display)) {
  wayland::WaylandConnection* c = connection();
  if (!c) {
    decline("no Wayland compositor answers");
    return;
  }
  if (c->screencopy()) {
    decline("the Wayland compositor offers screencopy (a wlroots compositor)");
    return;
  }
  if (!c->layerShell() || !c->seat() || !c->shm()) {
    decline("the Wayland compositor offers no zwlr_layer_shell_v1, seat or wl_shm");
    return;
  }
  capture_ = std::make_unique<KWinScreenCapture>(display);
  if (auto why = capture_->whyNotAvailable()) {
    decline(*why);
    return;
  }
  std::string refusal;
  capture_->authorised(refusal);
  permissions_ = std::make_unique<KdePermissions>(std::move(refusal), *c);
  // KWin focuses the overlay only once it has shown it: another client holding the keyboard
  // cannot be told from a focus still to come.
  start(loop, /*judgesFocus=*/false);
}

}  // namespace orvel::kde
