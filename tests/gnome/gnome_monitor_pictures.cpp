// orvel_gnome_monitor_pictures LEFT TOP RIGHT BOTTOM FILE: the area of mutter's layout from (LEFT,
// TOP) to (RIGHT, BOTTOM), as the region helper's recording takes it (monitor_pictures.h, the
// sharing notice held where the extension answers: where an installed helper stands), written to
// FILE as "WIDTH HEIGHT\n" and straight RGBA rows. Exit status 1 when the pictures fail.
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "gnome_hand.h"
#include "loop_runner.h"
#include "platform/gnome/monitor_pictures.h"
#include "window_list_probe.h"

int main(int argc, char** argv) {
  using namespace std::chrono_literals;
  if (argc != 6) return 2;
  return orvel::linuxtest::runOnSessionBus([&](orvel::EventLoop& loop,
                                               orvel::dbus::DbusConnection& bus) {
    auto pipewire = orvel::gnome::PipeWireConnection::open(loop);
    if (!pipewire) return 1;
    auto pictures = orvel::dbustest::runTask<
        orvel::Expected<std::vector<orvel::gnome::MonitorPicture>, orvel::Failure>>(
        loop, [&] { return orvel::gnome::takeMonitorPictures(bus, **pipewire, 10s); }, 15s);
    if (!pictures || !*pictures) {
      std::fprintf(stderr, "the pictures did not come\n");
      return 1;
    }
    const auto area = orvel::gnometest::layoutArea(
        **pictures, std::atoi(argv[1]), std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]));
    std::ofstream out(argv[5], std::ios::binary);
    out << area.width << ' ' << area.height << '\n';
    out.write(reinterpret_cast<const char*>(area.rgba.data()),
              static_cast<std::streamsize>(area.rgba.size()));
    return out ? 0 : 1;
  });
}
