#include "autostart_answer.h"

namespace orvel::cli {

AutostartAnswer autostartAnswer(std::int32_t status) {
  switch (status) {
    case 0:
      return {0, "off", false};
    case 1:
      // Only an older orvel or the user writes this entry; it runs orvel for nothing.
      return {0, "on (orvel has nothing to do at login; \"orvel autostart off\" removes the entry)",
              false};
    case 2:
      return {0, "off (turned off in the desktop's startup settings)", false};
    case 3:
      return {1, "orvel: the program or the configuration folder is unknown", true};
    default:
      return {1, "orvel: the login item could not be changed (the system log says why)", true};
  }
}

AutostartAnswer autostartOnRefused() {
  return {1, std::string("orvel: ") + kNothingToStartAtLogin, true};
}

}  // namespace orvel::cli
