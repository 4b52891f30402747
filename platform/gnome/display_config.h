// The monitors of a GNOME Shell session as mutter's DisplayConfig reports them
// (GetCurrentState): each active monitor's connector, its current mode in pixels and the place and
// scale of the logical monitor that shows it. Loop thread only.
#pragma once

#include <string>
#include <vector>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"

namespace orvel::gnome {

struct GnomeMonitor {
  std::string connector;  // "Meta-0": what RecordMonitor takes
  int widthPx = 0;        // current mode
  int heightPx = 0;
  // The logical monitor's place and size in mutter's layout. Its units are logical pixels when
  // the layout mode is "logical" (Wayland with fractional scaling: the size is the mode divided
  // by the scale), else physical pixels (the size is the mode's).
  int x = 0;
  int y = 0;
  double layoutWidth = 0;
  double layoutHeight = 0;
  double scale = 1;
  friend bool operator==(const GnomeMonitor&, const GnomeMonitor&) = default;
};

// Reads the monitors from a GetCurrentState reply; those without a current mode or a logical
// monitor (switched off) are left out.
Expected<std::vector<GnomeMonitor>, Failure> readMonitors(const dbus::DbusMessage& reply);

// Asks the shell for its monitors.
Task<Expected<std::vector<GnomeMonitor>, Failure>> currentMonitors(dbus::DbusConnection& bus,
                                                                   Duration deadline);

}  // namespace orvel::gnome
