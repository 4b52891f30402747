// orvel-demo-wayland: the helpers on a wlroots compositor, with a virtual pointer as the user's
// hand.
//   1. The instant region capture: a headless sway with two outputs side by side, of scales 1 and
//      2, showing patterned backgrounds; a region dragged across the outputs' boundary. Writes
//      OUTDIR/region-wayland.png (at scale 2, 144 dpi).
//   2. The scrolling capture: a headless sway showing a window with a long page (the tests' input
//      counter, whose every pixel tells its place on the page); a region of it selected, then
//      captured and scrolled step by step, the frames stitched by their overlap as the X11 demo
//      host does. Writes OUTDIR/scroll-wayland.png and checks its seams: every row of it must be
//      the page's row it stands for.
// Appends a line per capture to OUTDIR/summary.txt.
//
//   orvel-demo-wayland --bin BUILDDIR --out OUTDIR
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "demo_support.h"
#include "input_counter_process.h"
#include "orvel/common/json_text.h"
#include "orvel/stitching/page_stitcher.h"
#include "png_file.h"
#include "sway_rig.h"
#include "test_pattern.h"
#include "test_pattern_png.h"
#include "virtual_pointer.h"

namespace {

using namespace std::chrono_literals;
using orvel::demo::summarize;
using orvel::waylandtest::ChildProcess;

int regionCapture(const std::string& bin, const std::string& out) {
  const auto started = std::chrono::steady_clock::now();
  orvel::waylandtest::SwayOptions options;
  // Logical layout: 1280x800 at scale 1, then 1280x800 at scale 2 to its right.
  options.outputs = {{1280, 800, 0, 0, 1, "#4f6d8f"}, {2560, 1600, 1280, 0, 2, "#8f4f6d"}};
  std::string whyNot;
  auto rig = orvel::waylandtest::SwayRig::start(options, whyNot);
  if (!rig) {
    summarize(out, "region capture on Wayland skipped: " + whyNot);
    return 0;
  }
  for (int i = 0; i < 2; ++i) {
    rig->setBackground(rig->outputNames()[static_cast<std::size_t>(i)],
                       rig->writeFile("bg" + std::to_string(i) + ".png",
                                      orvel::waylandtest::patternPng(1280, 800, i + 1)));
  }
  auto pointer = orvel::waylandtest::VirtualPointer::open(rig->waylandDisplay(), 2560, 800);
  ChildProcess::Options o;
  o.environment = rig->environment();
  o.environment["ORVEL_BACKEND"] = "wayland";
  auto helper = ChildProcess::start({bin + "/region-capture/region-capture-helper"}, o);
  if (!pointer || !helper) {
    summarize(out, "region capture on Wayland: no virtual pointer or no helper");
    return 1;
  }
  // The backgrounds come up while the helper starts.
  std::this_thread::sleep_for(1500ms);
  orvel::demo::askRegionCapture(*helper, out + "/region-wayland.png");
  // A person's drag starts after the screens froze.
  std::this_thread::sleep_for(800ms);
  pointer->moveTo(900, 200);
  pointer->button(true);
  for (int i = 1; i <= 10; ++i)
    pointer->moveTo(900 + 700 * i / 10, 200 + 400 * i / 10);
  pointer->button(false);
  const orvel::Json reply = orvel::demo::replyOf(*helper);
  return orvel::demo::finishRegion(*helper, out,
                                   "region capture on Wayland across outputs of scales 1 and 2",
                                   "region-wayland.png", reply, started);
}

constexpr int kPageSeed = 5;
constexpr int kScrollSteps = 8;

int scrollingCapture(const std::string& bin, const std::string& out) {
  const auto started = std::chrono::steady_clock::now();
  std::string whyNot;
  auto rig = orvel::waylandtest::SwayRig::start({}, whyNot);  // one output of 1280x720
  if (!rig) {
    summarize(out, "scrolling capture on Wayland skipped: " + whyNot);
    return 0;
  }
  ChildProcess::Options quiet;
  quiet.environment = rig->environment();
  quiet.pipeStdin = quiet.pipeStdout = false;
  // A keyboard, so that the page takes the focus (and the overlay takes it from the page).
  auto keyboard = ChildProcess::start({"wtype", "-s", "600000"}, quiet);
  orvel::waylandtest::InputCounter page(*rig, 1, kPageSeed);
  auto pointer = orvel::waylandtest::VirtualPointer::open(rig->waylandDisplay(), 1280, 720);
  ChildProcess::Options o;
  o.environment = rig->environment();
  o.environment["ORVEL_BACKEND"] = "wayland";
  auto helper = ChildProcess::start({bin + "/scroll-capture/scroll-capture-helper"}, o);
  auto fail = [&](const std::string& why) {
    summarize(out, "scrolling capture on Wayland FAILED: " + why);
    return 1;
  };
  if (!keyboard || !page.ready() || !pointer || !helper) return fail("nothing to capture");
  if (!orvel::waylandtest::waitUntil([&] { return page.focused(); }))
    return fail("the page never had the focus");
  helper->write("{\"command\":\"select\"}\n");
  if (!orvel::waylandtest::waitUntil([&] { return !page.focused(); })) return fail("no overlay");
  // The page fills the output: a region well inside it.
  const int left = 240, top = 110, width = 800, height = 500;
  pointer->drag(left, top, left + width, top + height);
  // The compositor draws the pointer into the screen: away from the region.
  pointer->moveTo(1279, 719);
  const orvel::Json selected = orvel::demo::replyOf(*helper);
  if (!selected.value("ok", false) || !selected.contains("region"))
    return fail("select: " + selected.dump());

  std::string why;
  const auto stitched = orvel::demo::stitchedScrolls(
      *helper, kScrollSteps, [&] { pointer->moveTo(1279, 719); }, why);
  if (!stitched) return fail(why);
  helper->write("{\"command\":\"close\"}\n");
  helper->wait(5s);
  // The region's top-left corner is at (left, top) of the window, which fills the output.
  return orvel::demo::finishScrolls(out, "Wayland", "scroll-wayland.png", *stitched, height, left,
                                    top, kPageSeed, started);
}

}  // namespace

int main(int argc, char** argv) {
  const auto arguments = orvel::demo::demoArguments(argc, argv, "orvel-demo-wayland");
  if (!arguments) return 2;
  const std::string& bin = arguments->bin;
  const std::string& out = arguments->out;
  const int region = regionCapture(bin, out);
  const int scrolling = scrollingCapture(bin, out);
  return region != 0 ? region : scrolling;
}
