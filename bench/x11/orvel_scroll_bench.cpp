// orvel scroll over a page of 20 screens on Xvfb, against the helper's own work for the same page.
//   1. `orvel scroll`: from the end of the user's drag to the PNG written, and whether the page is
//      the window's page row for row;
//   2. the helper alone, driven as orvel drives it (a frame, a scroll of 0.65 of the region, ...)
//      for as many steps, without stitching or PNG: the sum of its capture and scroll times.
// orvel's overhead is (1) less (2); it includes the end-of-page check (after the page's short last
// step, one more step that shows no move, looked at a few times while the view might still
// repaint), the stitching and the PNG. The load average is printed with the figures.
//   orvel_scroll_bench [SCREENS]
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "png_file.h"
#include "scroll_helper_process.h"
#include "test_pattern.h"
#include "xvfb_rig.h"

using namespace orvel::x11test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int screens = argc > 1 ? std::max(2, std::atoi(argv[1])) : 20;
  const int regionHeight = 600, pageRows = screens * regionHeight;
  std::string whyNot;
  auto rig = XvfbRig::start({}, whyNot);
  if (!rig) {
    std::printf("skipped: %s\n", whyNot.c_str());
    return 0;
  }
  auto window = rig->openWindow(XvfbRig::longPage(50, regionHeight, pageRows));
  const auto origin = window ? rig->contentOrigin(window->window()) : std::nullopt;
  if (!origin) {
    std::printf("FAILED: no test window\n");
    return 1;
  }
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("orvel-bench-" + std::to_string(::getpid()) + ".png"))
                               .string();
  ChildProcess::Options o;
  o.environment = {{"DISPLAY", rig->display()}, {"ORVEL_SCROLL_HELPER", ORVEL_SCROLL_HELPER}};
  o.pipeStdin = false;
  auto orvel = ChildProcess::start({ORVEL_COMMAND, "scroll", "-o", path}, o);
  if (!orvel || !waitUntil([&] { return rig->pointerGrabbedElsewhere(); }, 20s)) {
    std::printf("FAILED: orvel showed no overlay\n");
    return 1;
  }
  rig->drag(origin->first, origin->second, origin->first + 500, origin->second + regionHeight);
  const auto started = Clock::now();
  const auto status = orvel->wait(600s);
  const double orvelSeconds = secondsSince(started);
  const auto png = orvel::region::testing::readPng(path);
  std::filesystem::remove(path);
  int broken = 0;
  for (int y = 0; png && y < png->height; ++y) {
    for (int x = 0; x < png->width; ++x) {
      if (png->at(x, y) != orvel::region::testing::rgbaOf(patternPixel(x, y, 4))) {
        ++broken;
        break;
      }
    }
  }
  const bool correct = status == 0 && png && png->height == pageRows && broken == 0;
  // The frames orvel stitched: one, then one per scroll step that moved the page.
  const int steps = (pageRows - regionHeight + 389) / 390;

  // Back to the page's top, then the helper alone for the same steps.
  for (int i = 0; i < pageRows / 40 + 1; ++i) {
    rig->movePointer(origin->first + 250, origin->second + 300);
    rig->button(4, true);
    rig->button(4, false);
  }
  ScrollHelperProcess helper({{"DISPLAY", rig->display()}});
  helper.send("select");
  if (!waitUntil([&] { return rig->pointerGrabbedElsewhere(); }, 20s)) return 1;
  rig->drag(origin->first, origin->second, origin->first + 500, origin->second + regionHeight);
  if (!ok(helper.reply())) return 1;
  const auto alone = Clock::now();
  for (int step = 0; step <= steps; ++step) {
    const orvel::Json frame = helper.request("capture");
    if (!ok(frame)) return 1;
    helper.payload(frame["length"].get<std::size_t>());
    if (step < steps && !ok(helper.request("scroll", ",\"fraction\":0.65"))) return 1;
  }
  const double helperSeconds = secondsSince(alone);
  helper.request("close");

  std::printf("page of %d screens (%dx%d px), %d scroll steps\n", screens, 500, pageRows, steps);
  std::printf("orvel scroll, drag released to PNG written: %.2f s; page %s (%d rows broken)\n",
              orvelSeconds, correct ? "correct row for row" : "WRONG", broken);
  std::printf("the helper alone, %d frames and %d scrolls: %.2f s\n", steps + 1, steps,
              helperSeconds);
  std::printf("orvel's overhead: %.2f s (%.1f %%)\n", orvelSeconds - helperSeconds,
              100 * (orvelSeconds - helperSeconds) / helperSeconds);
  double load[3] = {0, 0, 0};
  if (::getloadavg(load, 3) == 3)
    std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  return correct ? 0 : 1;
}
