// orvel_kde_screenshot: takes pictures through KWin's screenshot service for the tests, as a
// program of its own that a desktop entry authorises (or, copied elsewhere, does not).
//   orvel_kde_screenshot outputs              one line per output: "NAME X Y WIDTH HEIGHT" (points)
//   orvel_kde_screenshot screen NAME [FILE]   the output's picture
//   orvel_kde_screenshot area X Y W H [FILE]  an area of the logical space
//   orvel_kde_screenshot time-area X Y W H N  the area N times over one connection, for the
//                                             benchmarks: prints "median MS" of the calls
//   orvel_kde_screenshot time-screen NAME N   the same for the output's picture
// A picture prints "WIDTHxHEIGHT scale S" and, with FILE, is written there as raw premultiplied
// BGRA rows; exit status 0. A failure prints "error: MESSAGE", exit status 1.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "platform/dbus/private_session_bus.h"
#include "platform/kde/screenshot2.h"
#include "platform/wayland/wayland_connection.h"

namespace {

using namespace std::chrono_literals;

int listOutputs() {
  auto connection = orvel::wayland::WaylandConnection::open();
  if (!connection || !connection->roundtrip()) {
    std::cout << "error: no compositor" << std::endl;
    return 1;
  }
  for (const auto& o : connection->outputs()) {
    std::cout << o->name << ' ' << o->logical.x << ' ' << o->logical.y << ' ' << o->logical.width
              << ' ' << o->logical.height << std::endl;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 1 && args[0] == "outputs") return listOutputs();
  const bool timedScreen = args.size() == 3 && args[0] == "time-screen";
  const bool screen = (args.size() >= 2 && args[0] == "screen") || timedScreen;
  const bool timedArea = args.size() == 6 && args[0] == "time-area";
  const bool area = (args.size() >= 5 && args[0] == "area") || timedArea;
  const bool timed = timedScreen || timedArea;
  if (!screen && !area) {
    std::cerr << "usage: orvel_kde_screenshot outputs | screen NAME [FILE] | area X Y W H [FILE]"
                 " | time-area X Y W H N | time-screen NAME N\n";
    return 2;
  }
  const int rounds = timed ? std::max(1, std::stoi(args.back())) : 1;
  const std::size_t fileArg = screen ? 2 : 5;
  const std::string file = !timed && args.size() > fileArg ? args[fileArg] : "";

  orvel::dbus::PrivateSessionBus session;
  if (!session.bus()) {
    std::cout << "error: " << session.failure() << std::endl;
    return 1;
  }
  orvel::kde::Screenshot2 service(*session.bus(), orvel::kde::thisProgramPath());
  std::optional<orvel::Expected<orvel::kde::KWinPicture, orvel::Failure>> result;
  std::vector<double> took;
  for (int round = 0; round < rounds && (!result || *result); ++round) {
    const auto start = std::chrono::steady_clock::now();
    if (screen) {
      result = session.run(service.captureScreen(args[1], 10s));
    } else {
      const orvel::Rect r{std::stod(args[1]), std::stod(args[2]), std::stod(args[3]),
                          std::stod(args[4])};
      result = session.run(service.captureArea(r, 10s));
    }
    took.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count());
  }
  if (!result || !*result) {
    std::cout << "error: " << (result ? (*result).error().description : "no answer") << std::endl;
    return 1;
  }
  if (timed) {
    std::sort(took.begin(), took.end());
    std::cout << "median " << took[took.size() / 2] << std::endl;
    return 0;
  }
  const orvel::Image& image = (*result)->image;
  std::cout << image.width() << 'x' << image.height() << " scale " << (*result)->scale << std::endl;
  if (!file.empty()) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()),
              static_cast<std::streamsize>(image.bytes().size()));
  }
  return 0;
}
