// orvel_kde_window_list SCRIPT: KWin's windows as the scroll helper keeps them
// (kwin_window_list.h), for the tests, SCRIPT being the window-list script to run. Prints "ready"
// once KWin runs it
// ("failed: REASON" and exit status 1 when it does not), then reads commands on standard input:
//   "list" answers one JSON line: the windows of the latest report, front-most first, each
//     {"number","pid","caption","x","y","width","height","level","active","dock"} in KWin's
//     logical space; null before the first report;
//   "activate N" asks KWin to make window number N its active one and answers "ok";
//   "place N X Y W H [above]" has KWin give window number N that frame, and with "above" keep it
//     above the others (a one-shot script of its own); answers "ok" once KWin ran it ("failed:
//     REASON" when it did not).
// Ends, unloading the script, when its standard input ends (window_list_probe.h).
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "orvel/common/event_loop.h"
#include "orvel/common/task.h"
#include "platform/kde/kwin_window_list.h"
#include "window_list_probe.h"

namespace {

using namespace std::chrono_literals;

// The one-shot script that gives the window `id` the frame (x, y, w, h), and keeps it above the
// others when `above`.
std::string placementScript(const std::string& id, int x, int y, int w, int h, bool above) {
  return "var clients = workspace.clientList();\n"
         "for (var i = 0; i < clients.length; ++i) {\n"
         "  if (clients[i].internalId.toString() !== \"" +
         id + "\") continue;\n" + (above ? "  clients[i].keepAbove = true;\n" : "") +
         "  clients[i].frameGeometry = {x: " + std::to_string(x) + ", y: " + std::to_string(y) +
         ", width: " + std::to_string(w) + ", height: " + std::to_string(h) + "};\n}\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: orvel_kde_window_list SCRIPT\n";
    return 2;
  }
  std::ifstream file(argv[1]);
  std::stringstream text;
  text << file.rdbuf();
  return orvel::linuxtest::runOnSessionBus(
      [&](orvel::EventLoop& loop, orvel::dbus::DbusConnection& bus) {
        orvel::kde::KWinWindowList list(bus);
        orvel::kde::KWinScript placement(bus, "orvel-test-place");
        return orvel::linuxtest::runWindowListProbe(
            loop, list, [&] { return list.start(text.str(), 5s); },
            [&](const std::string& command, std::istringstream& words) {
              if (command != "place") return false;
              std::uint32_t number = 0;
              int x = 0, y = 0, w = 0, h = 0;
              std::string above;
              words >> number >> x >> y >> w >> h >> above;
              const auto* window = list.findNumber(number);
              if (!window) {
                std::cout << "failed: no window " << number << std::endl;
                return true;
              }
              orvel::spawn(loop,
                           [&, script = placementScript(window->id, x, y, w, h,
                                                        above == "above")]() -> orvel::Task<> {
                             auto running = placement.run(script, 5s);
                             auto ran = co_await running;
                             std::cout
                                 << (ran ? std::string("ok") : "failed: " + ran.error().description)
                                 << std::endl;
                           });
              return true;
            });
      });
}
