// orvel-demo-wayland: the helpers on a wlroots compositor, with a virtual pointer as the user's
// hand.
//   1. The instant region capture: a headless sway with two outputs side by side, of scales 1 and
//      2, showing patterned backgrounds; a region dragged across the outputs' boundary. Writes
//      OUTDIR/region-wayland.png (at scale 2, 144 dpi).
//   2. The scrolling capture through `orvel scroll` (the build's orvel and scroll helper): a
//      headless sway showing a window with a long page (the tests' input counter, whose every
//      pixel tells its place on the page); a region of it dragged over, then captured, scrolled
//      and stitched by orvel up to a height limit. Writes OUTDIR/scroll-wayland.png and checks its
//      seams: every row of it must be the page's row it stands for.
// Appends a line per capture to OUTDIR/summary.txt.
//
//   orvel-demo-wayland --bin BUILDDIR --out OUTDIR
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "demo_support.h"
#include "grim_picture.h"
#include "input_counter_process.h"
#include "orvel/common/json_text.h"
#include "sway_rig.h"
#include "test_pattern.h"
#include "test_pattern_png.h"
#include "virtual_pointer.h"

namespace {

using namespace std::chrono_literals;
using orvel::demo::summarize;
using orvel::waylandtest::ChildProcess;
using orvel::waylandtest::grim;
using orvel::waylandtest::uniform;

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
  // The screens are looked at through grim, a corner of each output at a time.
  const std::string look = out + "/.look-wayland.png";
  auto corner = [&](const char* geometry) { return grim(*rig, geometry, look); };
  // The backgrounds shown on both outputs, so that the frozen screens show them.
  const bool shown = orvel::waylandtest::waitUntil([&] {
    const auto left = corner("0,0 64x64"), right = corner("1280,0 64x64");
    return left && right && !uniform(*left) && !uniform(*right);
  });
  const auto before = corner("0,0 64x64");
  orvel::demo::askRegionCapture(*helper, out + "/region-wayland.png");
  // A person's drag starts after the screens froze: the overlay's dim over the first output's
  // corner, settled (two looks alike).
  std::optional<orvel::waylandtest::RgbaPicture> last;
  const bool frozen = shown && before && orvel::waylandtest::waitUntil([&] {
                        auto now = corner("0,0 64x64");
                        const bool settled =
                            now && last && now->rgba == last->rgba && now->rgba != before->rgba;
                        last = std::move(now);
                        return settled;
                      });
  std::filesystem::remove(look);
  if (!frozen) {
    summarize(out, "region capture on Wayland FAILED: the backgrounds or the overlay did not show");
    return 1;
  }
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
// The page never ends: orvel stops at this height, about eight steps of its scroll.
constexpr int kMaxHeight = 2900;

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
  if (!keyboard || !page.ready() || !pointer ||
      !orvel::waylandtest::waitUntil([&] { return page.focused(); })) {
    summarize(out, "scrolling capture on Wayland FAILED: no page with the focus");
    return 1;
  }
  // The page fills the output: a region well inside it.
  const int left = 240, top = 110, width = 800, height = 500;
  orvel::demo::OrvelScrollStep step;
  step.desktop = "Wayland";
  step.file = "scroll-wayland.png";
  step.written = out + "/" + step.file;
  step.drag = [&] {
    if (!orvel::waylandtest::waitUntil([&] { return !page.focused(); })) return false;
    pointer->drag(left, top, left + width, top + height);
    return true;
  };
  step.seams = [&](const orvel::waylandtest::RgbaPicture& png,
                   const orvel::demo::OrvelScrollReport&) {
    return orvel::demo::patternRowsBroken(png, left, top, kPageSeed);
  };
  step.seamsHold = orvel::demo::kPatternRowsHold;
  ChildProcess::Options o;
  o.environment = rig->environment();
  o.environment["ORVEL_BACKEND"] = "wayland";
  o.environment["ORVEL_SCROLL_HELPER"] = bin + "/scroll-capture/scroll-capture-helper";
  o.pipeStdin = false;
  auto orvel = ChildProcess::start(
      orvel::demo::orvelScrollCommand(bin + "/orvel/orvel", step.written, kMaxHeight), o);
  return orvel::demo::scrollThroughOrvel(orvel.get(), out, step, started);
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
