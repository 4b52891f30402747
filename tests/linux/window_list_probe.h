// The main loop of a test window-list probe (orvel_gnome_window_list):
// a backend's reported window list (platform/linux/reported_window_list.h) as the scroll helper
// keeps it, asked by a test over standard input and output. Prints "ready" once `start` succeeded
// ("failed: REASON" and exit status 1 when it did not), then reads commands:
//   "list" answers one JSON line: the windows of the latest report, front-most first, each
//     {"number","pid","caption","x","y","width","height","level","active","dock"} in the
//     compositor's logical space; null before the first report;
//   "activate N" asks the compositor to make window number N its active one and answers "ok";
//   "why" answers why the list is unreadable, or "readable";
//   any other command goes to `other` (with the words after it), which answers it and returns
//     true, or returns false for "unknown command".
// Returns the exit status once standard input ends.
#pragma once

#include <functional>
#include <sstream>
#include <string>

#include "orvel/common/event_loop.h"
#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"
#include "platform/linux/reported_window_list.h"

namespace orvel::linuxtest {

using ProbeCommand = std::function<bool(const std::string& command, std::istringstream& words)>;

int runWindowListProbe(EventLoop& loop, platform::ReportedWindowList& list,
                       std::function<Task<Expected<void, Failure>>()> start,
                       const ProbeCommand& other = {});

// Runs `probe` with a loop of its own and the session bus (DBUS_SESSION_BUS_ADDRESS) on it, and
// returns its exit status; prints "failed: REASON" and returns 1 when the bus cannot be opened.
int runOnSessionBus(const std::function<int(EventLoop&, dbus::DbusConnection&)>& probe);

}  // namespace orvel::linuxtest
