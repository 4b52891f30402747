// The race of an instant region capture against the tools Linux users run for one, side by side on
// one Xvfb server showing the same windows, for a 1920x1080 and a 3840x2160 region:
//  - region-capture-helper: time from the XTest release of the drag to the PNG renamed into place
//    (seen by inotify); the helper is already running and has frozen the screens, as it has when
//    a user lets go of the button;
//  - maim -g, scrot -a and ImageMagick's import -crop: the whole process, start to exit.
// Prints the median of each, the targets, and the ratios of each tool's time to the helper's.
//
//   region_race_bench [rounds]        (default 5)
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "orvel/common/json_text.h"
#include "race_timing.h"
#include "region_helper_race.h"
#include "xvfb_rig.h"

namespace {

using namespace std::chrono_literals;
using namespace orvel::bench;
using orvel::testsupport::ChildProcess;
using orvel::x11test::XvfbRig;
namespace fs = std::filesystem;

// Start to exit of one command; < 0 when it failed.
double wholeProcess(const std::vector<std::string>& argv, const std::string& display) {
  ChildProcess::Options o;
  o.pipeStdin = false;
  o.pipeStdout = true;
  o.environment["DISPLAY"] = display;
  const auto start = RaceClock::now();
  auto process = ChildProcess::start(argv, o);
  if (!process) return -1;
  const auto status = process->wait(60s);
  const double took = ms(RaceClock::now() - start);
  return status == 0 ? took : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  orvel::x11test::RigOptions options;
  options.width = kRaceScreenWidth;
  options.height = kRaceScreenHeight;
  std::string whyNot;
  auto rig = XvfbRig::start(options, whyNot);
  if (!rig) {
    std::printf("region race skipped: %s\n", whyNot.c_str());
    return 0;
  }
  // Four windows of varied content fill the screen.
  std::vector<std::unique_ptr<orvel::x11test::TestWindowProcess>> windows;
  for (int i = 0; i < 4; ++i) {
    windows.push_back(rig->openWindow({.x = (i % 2) * kRaceScreenWidth / 2,
                                       .y = (i / 2) * kRaceScreenHeight / 2,
                                       .width = kRaceScreenWidth / 2,
                                       .height = kRaceScreenHeight / 2,
                                       .seed = 11 + i}));
  }
  char folderName[] = "/tmp/orvel-region-race-XXXXXX";
  const std::string folder = ::mkdtemp(folderName);
  RegionHelperRace helper({{"DISPLAY", rig->display()}}, folder);
  // XTest's pointer: a drag starts once the helper holds the pointer, and after the freeze, as a
  // user's does.
  const RaceHand hand{
      [&] {
        if (!orvel::x11test::waitUntil([&] { return rig->pointerGrabbedElsewhere(); }))
          return false;
        std::this_thread::sleep_for(400ms);
        return true;
      },
      [&](int x, int y) { rig->movePointer(x, y); }, [&](bool down) { rig->button(1, down); }};

  const RaceSize sizes[] = {{1920, 1080, 30}, {3840, 2160, 140}};
  std::printf("region capture race on Xvfb %dx%d, %d rounds, medians in ms\n", kRaceScreenWidth,
              kRaceScreenHeight, rounds);
  std::printf("%-11s %9s %9s %9s %9s   %s\n", "region", "helper", "scrot", "maim", "import",
              "ratios (tool / helper)");
  // The helper's first capture also maps its buffers in: a user's first capture, not the usual one.
  helper.capture(hand, sizes[0], -1);
  bool allMet = true;
  for (const RaceSize& size : sizes) {
    const std::string geometry = std::to_string(size.width) + "x" + std::to_string(size.height) +
                                 "+" + std::to_string(kRaceLeft) + "+" + std::to_string(kRaceTop);
    const std::string area = std::to_string(kRaceLeft) + "," + std::to_string(kRaceTop) + "," +
                             std::to_string(size.width) + "," + std::to_string(size.height);
    std::vector<double> ours, scrot, maim, import;
    for (int r = 0; r < rounds; ++r) {
      const std::string suffix = std::to_string(size.width) + "-" + std::to_string(r) + ".png";
      if (double t = helper.capture(hand, size, r); t >= 0) ours.push_back(t);
      if (double t = wholeProcess({"scrot", "-o", "-a", area, folder + "/scrot-" + suffix},
                                  rig->display());
          t >= 0)
        scrot.push_back(t);
      if (double t =
              wholeProcess({"maim", "-g", geometry, folder + "/maim-" + suffix}, rig->display());
          t >= 0)
        maim.push_back(t);
      if (double t = wholeProcess(
              {"import", "-window", "root", "-crop", geometry, folder + "/import-" + suffix},
              rig->display());
          t >= 0)
        import.push_back(t);
    }
    const double h = median(ours);
    auto ratio = [h](const std::vector<double>& v) {
      return v.empty() || h <= 0 ? 0 : median(v) / h;
    };
    const std::string label = std::to_string(size.width) + "x" + std::to_string(size.height);
    std::printf("%-11s %9.1f %9.1f %9.1f %9.1f   scrot %.1fx, maim %.1fx, import %.1fx\n",
                label.c_str(), h, median(scrot), median(maim), median(import), ratio(scrot),
                ratio(maim), ratio(import));
    const bool met = !ours.empty() && h <= size.targetMs;
    allMet = allMet && met;
    std::printf("%-11s helper target <= %.0f ms: %s (helper samples:%s ms)%s\n", "", size.targetMs,
                met ? "met" : "NOT met", samplesText(ours).c_str(),
                ours.size() == static_cast<std::size_t>(rounds) ? "" : " (some captures failed)");
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return allMet ? 0 : 1;
}
