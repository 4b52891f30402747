// Whether a Wayland connection names GNOME Shell's mutter as both capture helpers' GNOME desktops
// need it: desktop windows, a seat and shared memory, but neither screencopy nor layer surfaces
// (the wlroots and KDE rows' compositors).
#pragma once

#include <string>

#include "platform/wayland/wayland_connection.h"

namespace orvel::gnome {

// Empty when it does; otherwise why not, for the log. `connection` null: nobody answered.
std::string whyNotMutter(const wayland::WaylandConnection* connection);

}  // namespace orvel::gnome
