// Whether one of mutter's D-Bus services answers, for the log of a desktop that declines.
#pragma once

#include <optional>
#include <string>

#include "orvel/common/clock.h"
#include "platform/dbus/private_session_bus.h"

namespace orvel::gnome {

// Why the service `name` cannot be used over `session`: no bus, or no answer to its Version
// property (at the object its name spells: "org.gnome.Mutter.ScreenCast" at
// /org/gnome/Mutter/ScreenCast) within `deadline`; nothing when it answers. The caller holds the
// session's lock.
std::optional<std::string> whyMutterServiceSilent(dbus::PrivateSessionBus& session,
                                                  const std::string& name, Duration deadline);

}  // namespace orvel::gnome
