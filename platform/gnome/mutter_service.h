// Whether one of mutter's D-Bus services answers, for the log of a desktop that declines.
#pragma once

#include <optional>
#include <string>

#include "orvel/common/clock.h"
#include "platform/dbus/private_session_bus.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::gnome {

// Why the service `name` cannot be used over `session`: no bus, or no answer to its Version
// property (at the object its name spells: "org.gnome.Mutter.ScreenCast" at
// /org/gnome/Mutter/ScreenCast) within `deadline`; nothing when it answers. The caller holds the
// session's lock.
std::optional<std::string> whyMutterServiceSilent(dbus::PrivateSessionBus& session,
                                                  const std::string& name, Duration deadline);

// Why a ScreenCast port cannot take pictures: no compositor on `connection`, or mutter's ScreenCast
// service silent over `session` (within a probe's bound); nothing when both answer. The caller
// holds the session's lock.
std::optional<std::string> whyScreenCastUnavailable(wayland::WaylandConnection* connection,
                                                    dbus::PrivateSessionBus& session);

}  // namespace orvel::gnome
