// The frozen pictures of a region capture on GNOME: one frame of every monitor, taken through a
// ScreenCast session that lives only while the pictures are taken (GNOME shows its sharing
// indicator meanwhile). Loop thread only.
#pragma once

#include <vector>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/image.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"
#include "platform/gnome/display_config.h"
#include "platform/gnome/pipewire_connection.h"

namespace orvel::gnome {

struct MonitorPicture {
  GnomeMonitor monitor;
  Image picture;  // the monitor's pixels, its current mode's size
};

// Every monitor's picture, in the order DisplayConfig lists them, all within `deadline`. Fails
// with "Display configuration changed. Retry Capture." when a picture does not match its
// monitor's mode (a monitor changed meanwhile).
Task<Expected<std::vector<MonitorPicture>, Failure>> takeMonitorPictures(
    dbus::DbusConnection& bus, PipeWireConnection& pipewire, Duration deadline);

}  // namespace orvel::gnome
