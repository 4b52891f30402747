// orvel_kde_window_list SCRIPT: KWin's windows as the scroll helper keeps them
// (kwin_window_list.h), for the tests, SCRIPT being the window-list script to run; the commands of
// tests/linux/window_list_probe.h. Ends, unloading the script, when its standard input ends.
#include <fstream>
#include <iostream>
#include <sstream>

#include "orvel/common/clock.h"
#include "platform/kde/kwin_window_list.h"
#include "window_list_probe.h"

int main(int argc, char** argv) {
  using namespace std::chrono_literals;
  if (argc != 2) {
    std::cerr << "usage: orvel_kde_window_list SCRIPT\n";
    return 2;
  }
  std::ifstream file(argv[1]);
  std::stringstream text;
  text << file.rdbuf();
  orvel::SteadyClock clock;
  orvel::EventLoop loop(clock);
  auto bus = orvel::dbus::DbusConnection::openSession(loop);
  if (!bus) {
    std::cout << "failed: " << bus.error().description << std::endl;
    return 1;
  }
  orvel::kde::KWinWindowList list(**bus);
  return orvel::linuxtest::runWindowListProbe(loop, list,
                                              [&] { return list.start(text.str(), 5s); });
}
