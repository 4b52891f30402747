// orvel scroll over a page of 20 screens on Xvfb, against the helper's own work for the same page.
//   1. `orvel scroll` as a process: from the end of the user's drag to the PNG written, and whether
//      the page is the window's page row for row;
//   2. orvel's scrolling capture run in this process on a helper of its own, as the command runs
//      it: from "select" answered to the PNG written, against the time spent inside the helper's
//      requests (captures with their frames' transfer, scrolls). The rest is orvel's overhead:
//      stitching, the pauses while a view may still be repainting, and the PNG.
// The load average is printed with the figures; the exit status is 1 when the page is wrong or
// the overhead is 10 % of the helper's time or more.
//   orvel_scroll_bench [SCREENS]
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "orvel/helper_process.h"
#include "orvel/png_file.h"
#include "orvel/scroll_helper_channel.h"
#include "orvel/scrolling_capture.h"
#include "png_file.h"
#include "test_pattern.h"
#include "xvfb_rig.h"

using namespace orvel::x11test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

// The helper's channel with the time spent in each request added up: what the helper itself
// takes, the frames' transfer included.
class TimedChannel final : public orvel::cli::ScrollChannel {
 public:
  explicit TimedChannel(orvel::cli::ScrollChannel& helper) : helper_(helper) {}
  orvel::Expected<bool, orvel::Failure> select() override {
    auto selected = helper_.select();
    selectedAt = Clock::now();
    return selected;
  }
  orvel::Expected<orvel::Image, orvel::Failure> capture() override {
    ++captures;
    return timed([&] { return helper_.capture(); });
  }
  orvel::Expected<void, orvel::Failure> scroll(double fraction) override {
    ++scrolls;
    return timed([&] { return helper_.scroll(fraction); });
  }
  int captures = 0, scrolls = 0;
  double seconds = 0;
  Clock::time_point selectedAt;

 private:
  template <typename F>
  auto timed(F request) -> decltype(request()) {
    const auto t = Clock::now();
    auto result = request();
    seconds += secondsSince(t);
    return result;
  }
  orvel::cli::ScrollChannel& helper_;
};

struct Timing {
  bool finished = false;
  double total = 0, helper = 0, closing = 0, rest = 0, pauses = 0, png = 0;
  int captures = 0, scrolls = 0;
};

// orvel's scrolling capture run here, as `orvel scroll` runs it, on a helper of our own: from
// "select" answered to the PNG written at `path`.
Timing timeOrvelLoop(XvfbRig& rig, std::pair<int, int> origin, int regionHeight,
                     const std::string& path) {
  Timing timing;
  auto process = orvel::cli::HelperProcess::start({ORVEL_SCROLL_HELPER});
  if (!process) return timing;
  orvel::cli::ScrollHelperChannel channel(**process, -1);
  std::thread hand([&] {
    if (waitUntil([&] { return rig.pointerGrabbedElsewhere(); }, 20s))
      rig.drag(origin.first, origin.second, origin.first + 500, origin.second + regionHeight);
  });
  TimedChannel timed(channel);
  orvel::cli::ScrollingCaptureHooks hooks;
  hooks.pauseForRepaint = [&] {
    const auto t = Clock::now();
    std::this_thread::sleep_for(orvel::cli::kRepaintPause);
    timing.pauses += secondsSince(t);
  };
  const auto result = orvel::cli::captureScrollingPage(timed, 1 << 20, hooks);
  hand.join();
  const auto closing = Clock::now();
  channel.close();
  timing.closing = secondsSince(closing);
  if (!result.page) return timing;
  const auto encoding = Clock::now();
  timing.finished = orvel::cli::writePngFile(result.page->view(), path).hasValue();
  timing.png = secondsSince(encoding);
  timing.total = secondsSince(timed.selectedAt);
  timing.helper = timed.seconds + timing.closing;
  timing.captures = timed.captures;
  timing.scrolls = timed.scrolls;
  timing.rest = timing.total - timing.helper - timing.pauses - timing.png;
  return timing;
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
  // The in-process run starts its helper with this environment.
  ::setenv("DISPLAY", rig->display().c_str(), 1);
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

  // Back to the page's top, then orvel's own loop in this process over the same helper, with
  // every helper request timed.
  for (int i = 0; i < pageRows / 40 + 1; ++i) {
    rig->movePointer(origin->first + 250, origin->second + 300);
    rig->button(4, true);
    rig->button(4, false);
  }
  const Timing timing = timeOrvelLoop(*rig, *origin, regionHeight, path);
  std::filesystem::remove(path);
  if (!timing.finished) {
    std::printf("FAILED: the in-process scrolling capture did not finish\n");
    return 1;
  }
  const double overhead = timing.total - timing.helper;

  std::printf("page of %d screens (%dx%d px)\n", screens, 500, pageRows);
  std::printf("orvel scroll, drag released to PNG written: %.2f s; page %s (%d rows broken)\n",
              orvelSeconds, correct ? "correct row for row" : "WRONG", broken);
  std::printf("orvel's loop in process, \"select\" answered to PNG written: %.2f s\n",
              timing.total);
  std::printf("  the helper's own time: %d captures, %d scrolls and \"close\" (%.2f s), %.2f s\n",
              timing.captures, timing.scrolls, timing.closing, timing.helper);
  std::printf(
      "  orvel's overhead: %.2f s (%.1f %% of the helper's time; target < 10 %%): "
      "stitching and the rest %.2f s, repaint pauses %.2f s, PNG %.2f s\n",
      overhead, 100 * overhead / timing.helper, timing.rest, timing.pauses, timing.png);
  double load[3] = {0, 0, 0};
  if (::getloadavg(load, 3) == 3)
    std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  return correct && 10 * overhead < timing.helper ? 0 : 1;
}
