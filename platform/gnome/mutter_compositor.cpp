#include "platform/gnome/mutter_compositor.h"

namespace orvel::gnome {

std::string whyNotMutter(const wayland::WaylandConnection* connection) {
  if (!connection) return "no Wayland compositor answers";
  if (connection->screencopy() || connection->layerShell())
    return "the Wayland compositor offers wlroots protocols (not GNOME Shell)";
  if (!connection->wmBase() || !connection->seat() || !connection->shm())
    return "the Wayland compositor offers no xdg_wm_base, seat or wl_shm";
  return {};
}

}  // namespace orvel::gnome
