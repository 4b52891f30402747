// What `orvel autostart` answers. orvel runs only when called (from a terminal or a key binding)
// and keeps nothing running, so a login entry would start it with nothing to do: "on" is refused
// with what to do instead, before the login item is touched. "off" and "status" work on the
// login item that libOrvel.Startup keeps for the orvel executable, so that an entry written
// earlier can be seen and removed. Pure logic; any thread.
#pragma once

#include <cstdint>
#include <string>

namespace orvel::cli {

inline constexpr const char* kNothingToStartAtLogin =
    "orvel runs only when called and has nothing to start at login. To have a capture one key "
    "away, bind \"orvel scroll\" or \"orvel region\" to a key in your desktop's keyboard "
    "settings.";

struct AutostartAnswer {
  int exitStatus = 0;
  std::string line;            // without the line feed
  bool standardError = false;  // the line goes to standard error rather than standard output
};

// The answer to a status that orvel_startup_status or orvel_startup_set returned.
AutostartAnswer autostartAnswer(std::int32_t status);

// The answer to "on".
AutostartAnswer autostartOnRefused();

}  // namespace orvel::cli
