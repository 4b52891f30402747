// orvel_gnome_window_list: GNOME Shell's windows as the scroll helper keeps them
// (gnome_window_list.h), for the tests; the commands of tests/linux/window_list_probe.h. The
// extension answers it only where an installed helper stands.
#include <iostream>

#include "orvel/common/clock.h"
#include "platform/gnome/gnome_window_list.h"
#include "window_list_probe.h"

int main() {
  using namespace std::chrono_literals;
  orvel::SteadyClock clock;
  orvel::EventLoop loop(clock);
  auto bus = orvel::dbus::DbusConnection::openSession(loop);
  if (!bus) {
    std::cout << "failed: " << bus.error().description << std::endl;
    return 1;
  }
  orvel::gnome::GnomeWindowList list(**bus);
  return orvel::linuxtest::runWindowListProbe(loop, list, [&] { return list.start(5s); });
}
