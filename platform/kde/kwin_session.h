// What both KDE desktops need of the compositor and of KWin's screenshot service before they open.
#pragma once

#include <string>

#include "platform/kde/kwin_screen_capture.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::kde {

// Why `connection` and `capture` cannot serve a KDE desktop: no compositor answered, it is a
// wlroots one (it offers screencopy), it lacks layer surfaces, a seat or wl_shm, or KWin's
// screenshot service does not answer; empty when they can.
std::string whyNotKWinSession(const wayland::WaylandConnection* connection,
                              KWinScreenCapture& capture);

}  // namespace orvel::kde
