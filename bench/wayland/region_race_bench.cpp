// The race of an instant region capture on a wlroots compositor against grim, on one headless
// sway output showing a busy picture, for a 1920x1080 and a 3840x2160 region:
//  - region-capture-helper: time from the virtual pointer's release to the PNG renamed into place
//    (seen by inotify); the helper is already running and has frozen the screens, as it has when
//    a user lets go of the button;
//  - grim -g: the whole process, start to exit.
// Prints the median of each, the targets and the ratio of grim's time to the helper's.
//
//   wayland_region_race_bench [rounds]        (default 5)
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "race_timing.h"
#include "region_helper_race.h"
#include "sway_rig.h"
#include "test_pattern_png.h"
#include "virtual_pointer.h"

using namespace std::chrono_literals;
using namespace orvel::bench;
using orvel::waylandtest::ChildProcess;
using orvel::waylandtest::SwayRig;
namespace fs = std::filesystem;

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  orvel::waylandtest::SwayOptions options;
  options.outputs = {{kRaceScreenWidth, kRaceScreenHeight, 0, 0, 1, "#336699"}};
  std::string whyNot;
  auto rig = SwayRig::start(options, whyNot);
  if (!rig) {
    std::printf("Wayland region race skipped: %s\n", whyNot.c_str());
    return 0;
  }
  rig->setBackground(rig->outputNames()[0],
                     rig->writeFile("busy.png", orvel::waylandtest::patternPng(2000, 1150, 3)));
  auto pointer = orvel::waylandtest::VirtualPointer::open(rig->waylandDisplay(), kRaceScreenWidth,
                                                          kRaceScreenHeight);
  ChildProcess::Options quiet;
  quiet.environment = rig->environment();
  quiet.pipeStdin = quiet.pipeStdout = false;
  auto keyboard = ChildProcess::start({"wtype", "-s", "600000"}, quiet);
  char folderName[] = "/tmp/orvel-wayland-race-XXXXXX";
  const std::string folder = ::mkdtemp(folderName);
  auto environment = rig->environment();
  environment["ORVEL_BACKEND"] = "wayland";
  RegionHelperRace helper(environment, folder);
  if (!pointer || !helper.running()) {
    std::printf("Wayland region race skipped: no virtual pointer or helper\n");
    return 0;
  }
  // The helper's grab cannot be seen here: a drag starts after the freeze, as a user's does.
  const RaceHand hand{[] {
                        std::this_thread::sleep_for(700ms);
                        return true;
                      },
                      [&](int x, int y) { pointer->moveTo(x, y); },
                      [&](bool down) { pointer->button(down); }};
  auto grim = [&](const std::string& geometry, const std::string& file) -> double {
    const auto start = RaceClock::now();
    auto process = ChildProcess::start({"grim", "-g", geometry, file}, quiet);
    if (!process) return -1;
    const auto status = process->wait(60s);
    return status == 0 ? ms(RaceClock::now() - start) : -1;
  };

  const RaceSize sizes[] = {{1920, 1080, 30}, {3840, 2160, 140}};
  std::printf("Wayland region capture race on headless sway %dx%d, %d rounds, medians in ms\n",
              kRaceScreenWidth, kRaceScreenHeight, rounds);
  std::printf("%-11s %9s %9s   %s\n", "region", "helper", "grim", "ratio (grim / helper)");
  // The first capture also maps the helper's buffers in: a user's first capture, not the usual one.
  helper.capture(hand, sizes[0], -1);
  bool allMet = true;
  for (const RaceSize& size : sizes) {
    const std::string geometry = std::to_string(kRaceLeft) + "," + std::to_string(kRaceTop) + " " +
                                 std::to_string(size.width) + "x" + std::to_string(size.height);
    std::vector<double> ours, theirs;
    for (int r = 0; r < rounds; ++r) {
      if (double t = helper.capture(hand, size, r); t >= 0) ours.push_back(t);
      const std::string file =
          folder + "/grim-" + std::to_string(size.width) + "-" + std::to_string(r) + ".png";
      if (double t = grim(geometry, file); t >= 0) theirs.push_back(t);
    }
    const double h = median(ours), g = median(theirs);
    const double ratio = h > 0 ? g / h : 0;
    const std::string label = std::to_string(size.width) + "x" + std::to_string(size.height);
    std::printf("%-11s %9.1f %9.1f   %.1fx\n", label.c_str(), h, g, ratio);
    const bool met = !ours.empty() && h <= size.targetMs && ratio >= 3;
    allMet = allMet && met;
    std::printf("%-11s helper target <= %.0f ms and >= 3x grim: %s (helper samples:%s ms)%s\n", "",
                size.targetMs, met ? "met" : "NOT met", samplesText(ours).c_str(),
                ours.size() == static_cast<std::size_t>(rounds) ? "" : " (some captures failed)");
  }
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return allMet ? 0 : 1;
}
