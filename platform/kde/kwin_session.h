// What both KDE desktops need of the compositor before they open.
#pragma once

#include <string>

#include "platform/wayland/wayland_connection.h"

namespace orvel::kde {

// Why `connection` cannot serve a KDE desktop: no compositor answered, it is a wlroots one (it
// offers screencopy), or it lacks layer surfaces, a seat or wl_shm; empty when it can.
std::string whyNotKWinCompositor(const wayland::WaylandConnection* connection);

}  // namespace orvel::kde
