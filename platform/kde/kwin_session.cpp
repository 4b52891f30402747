#include "platform/kde/kwin_session.h"

namespace orvel::kde {

std::string whyNotKWinCompositor(const wayland::WaylandConnection* connection) {
  if (!connection) return "no Wayland compositor answers";
  if (connection->screencopy())
    return "the Wayland compositor offers screencopy (a wlroots compositor)";
  if (!connection->layerShell() || !connection->seat() || !connection->shm())
    return "the Wayland compositor offers no zwlr_layer_shell_v1, seat or wl_shm";
  return {};
}

}  // namespace orvel::kde
