// The scroll-capture helper on the sim desktop, for process-level tests. The scene comes from the
// JSON file named by ORVEL_SIM_SCENE:
//   {"displays": [{"id": 1, "bounds": [x, y, w, h], "scale": 1.0}],
//    "applications": [{"pid": 100, "bundleID": "org.example.reader"}],
//    "windows": [window dictionaries, front-most first],
//    "frontmost": 100,
//    "drags": [{"from": [x, y], "to": [x, y], "afterMs": 100}]}
// Each drag is made by a scripted user `afterMs` after an overlay opens; without one left, the
// user presses Escape.
#include <cstdlib>
#include <deque>
#include <fstream>

#include "helper_process.h"
#include "orvel/common/task.h"
#include "platform/sim/sim_accessibility.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_overlay.h"
#include "platform/sim/sim_scroll_events.h"

using namespace orvel;

namespace {

struct ScriptedDrag {
  Point from, to;
  int afterMs = 100;
};

Point point(const Json& a) {
  return {a.at(0).get<double>(), a.at(1).get<double>()};
}

void loadScene(sim::SimDesktop& desktop, std::deque<ScriptedDrag>& drags) {
  const char* path = std::getenv("ORVEL_SIM_SCENE");
  if (!path) return;
  std::ifstream in(path);
  Json scene = Json::parse(in, nullptr, false);
  if (!scene.is_object()) return;
  if (scene.contains("displays")) {
    std::vector<sim::SimDisplay> displays;
    for (const auto& d : scene["displays"]) {
      const auto& b = d["bounds"];
      displays.push_back(
          {d["id"].get<std::uint32_t>(),
           Rect{b[0].get<double>(), b[1].get<double>(), b[2].get<double>(), b[3].get<double>()},
           d.value("scale", 1.0)});
    }
    desktop.setDisplays(std::move(displays));
  }
  for (const auto& a : scene.value("applications", Json::array())) {
    desktop.addApplication(a["pid"].get<std::int32_t>(), a["bundleID"].get<std::string>());
  }
  desktop.windowList() = scene.value("windows", Json::array());
  if (scene.contains("frontmost")) desktop.frontmost = scene["frontmost"].get<std::int32_t>();
  for (const auto& d : scene.value("drags", Json::array())) {
    drags.push_back({point(d["from"]), point(d["to"]), d.value("afterMs", 100)});
  }
}

// Waits for each overlay and plays the next drag on it.
Task<> scriptedUser(EventLoop& loop, sim::SimOverlay& overlay, std::deque<ScriptedDrag>& drags) {
  using std::chrono::milliseconds;
  for (;;) {
    while (overlay.openPanels() == 0)
      co_await sleepFor(loop, milliseconds(5));
    if (drags.empty()) {
      overlay.keyDown(53);
    } else {
      const ScriptedDrag drag = drags.front();
      drags.pop_front();
      co_await sleepFor(loop, milliseconds(drag.afterMs));
      overlay.drag(drag.from, drag.to);
    }
    while (overlay.openPanels() > 0)
      co_await sleepFor(loop, milliseconds(5));
  }
}

}  // namespace

int main() {
  SteadyClock clock;
  EventLoop loop(clock);
  sim::SimDesktop desktop;
  sim::SimOverlay overlay(desktop);
  sim::SimAccessibility accessibility;
  sim::SimScrollEvents scrollEvents;
  std::deque<ScriptedDrag> drags;
  loadScene(desktop, drags);
  spawn(loop, scriptedUser(loop, overlay, drags));
  scroll::AccessibilityContentBounds content({accessibility, desktop, desktop, clock});
  scroll::runScrollCaptureHelper(
      loop, {desktop, desktop, desktop, desktop, desktop, content, desktop, overlay, scrollEvents});
}
