// orvel_gnome_window_list: GNOME Shell's windows as the scroll helper keeps them
// (gnome_window_list.h), for the tests; the commands of tests/linux/window_list_probe.h. The
// extension answers it only where an installed helper stands.
#include "platform/gnome/gnome_window_list.h"
#include "window_list_probe.h"

int main() {
  using namespace std::chrono_literals;
  return orvel::linuxtest::runOnSessionBus(
      [](orvel::EventLoop& loop, orvel::dbus::DbusConnection& bus) {
        orvel::gnome::GnomeWindowList list(bus);
        return orvel::linuxtest::runWindowListProbe(loop, list, [&] { return list.start(5s); });
      });
}
