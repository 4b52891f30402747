// orvel-demo-kde: the helpers on a headless KWin (the KDE tests' rig), installed into a temporary
// prefix whose desktop entries authorise them, with the tests' fake-input hand as the user's.
//   1. The instant region capture: a region dragged across the boundary of the two outputs, over
//      the tests' page windows. Writes OUTDIR/region-kde.png.
//   2. The scrolling capture through the installed `orvel scroll`: a region of a page window
//      dragged over, captured, scrolled and stitched by orvel up to a height limit. Writes
//      OUTDIR/scroll-kde.png and checks its seams: every row of it must be the page's row it
//      stands for.
// Appends a line per capture to OUTDIR/summary.txt.
//
//   orvel-demo-kde --bin BUILDDIR --out OUTDIR
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "demo_support.h"
#include "input_counter_process.h"
#include "kwin_rig.h"

namespace {

using namespace std::chrono_literals;
using orvel::Json;
using orvel::demo::summarize;
using orvel::kdetest::ChildProcess;

constexpr int kPageSeed = 5;
// The page never ends: orvel stops at this height, about eight steps of its scroll.
constexpr int kMaxHeight = 2320;

struct Desk {
  orvel::kdetest::InstalledProject installed;
  std::unique_ptr<orvel::kdetest::KWinRig> rig;
  std::unique_ptr<ChildProcess> hand;

  bool handSays(const std::string& command) {
    return hand->write(command + "\n") && hand->readLine(10s) == "ok";
  }
  bool moveTo(int x, int y) {
    return handSays("move " + std::to_string(x) + " " + std::to_string(y));
  }
  bool drag(int x0, int y0, int x1, int y1) {
    if (!moveTo(x0, y0) || !handSays("button down")) return false;
    for (int i = 1; i <= 10; ++i)
      if (!moveTo(x0 + (x1 - x0) * i / 10, y0 + (y1 - y0) * i / 10)) return false;
    return handSays("button up");
  }
};

// Copies `file` of the rig's folder (where KWin's user may write) to OUTDIR.
bool copyOut(const Desk& desk, const std::string& out, const std::string& file) {
  std::error_code ec;
  std::filesystem::copy_file(desk.rig->runtimeDir() + "/" + file, out + "/" + file,
                             std::filesystem::copy_options::overwrite_existing, ec);
  return !ec;
}

int regionCapture(Desk& desk, const std::string& out, orvel::waylandtest::InputCounter& page) {
  const auto started = std::chrono::steady_clock::now();
  auto helper = desk.rig->spawn({desk.installed.prefix() + "/libexec/orvel/region-capture-helper"});
  if (!helper) return summarize(out, "region capture on KDE FAILED: no helper"), 1;
  orvel::demo::askRegionCapture(*helper, desk.rig->runtimeDir() + "/region-kde.png");
  // The overlay takes the keyboard once KWin shows it; a person's drag starts after that.
  orvel::waylandtest::waitUntil([&] { return !page.focused(); });
  const bool dragged = desk.drag(500, 200, 1660, 560);
  Json reply = orvel::demo::replyOf(*helper);
  if (!dragged || !copyOut(desk, out, "region-kde.png")) reply = Json::object();
  return orvel::demo::finishRegion(*helper, out, "region capture on KDE across two outputs",
                                   "region-kde.png", reply, started);
}

int scrollingCapture(Desk& desk, const std::string& bin, const std::string& out,
                     orvel::waylandtest::InputCounter& page) {
  const auto started = std::chrono::steady_clock::now();
  auto fail = [&](const std::string& why) {
    summarize(out, "scrolling capture on KDE FAILED: " + why);
    return 1;
  };
  // Where KWin placed the page window, from the window list the helper keeps.
  auto windows = desk.rig->spawn({bin + "/tests/kde/orvel_kde_window_list",
                                  desk.installed.prefix() + "/share/orvel/kwin/window-list.js"});
  if (!windows || windows->readLine(20s) != "ready") return fail("no window list");
  Json placed;
  orvel::waylandtest::waitUntil([&] {
    windows->write("list\n");
    const auto line = windows->readLine(10s);
    for (const Json& w : orvel::parseJson(line.value_or("")).value_or(Json::array()))
      if (w.value("pid", 0) == page.pid()) placed = w;
    return placed.is_object();
  });
  if (!placed.is_object()) return fail("the page window is not listed");
  const int wx = placed["x"].get<int>(), wy = placed["y"].get<int>();
  // The page has the focus back from the region capture's overlay, and gives it to orvel's.
  if (!orvel::waylandtest::waitUntil([&] { return page.focused(); }))
    return fail("the page did not take the focus");
  const int left = 60, top = 40, width = 520, height = 400;
  orvel::demo::OrvelScrollStep step;
  step.desktop = "KDE";
  step.file = "scroll-kde.png";
  step.written = desk.rig->runtimeDir() + "/" + step.file;
  step.drag = [&] {
    // orvel's overlay can take seconds to come up on a slow or busy machine.
    return orvel::waylandtest::waitUntil([&] { return !page.focused(); }, 30s) &&
           desk.drag(wx + left, wy + top, wx + left + width, wy + top + height);
  };
  step.seams = [&](const orvel::waylandtest::RgbaPicture& png,
                   const orvel::demo::OrvelScrollReport&) {
    return orvel::demo::patternRowsBroken(png, left, top, kPageSeed);
  };
  step.seamsHold = orvel::demo::kPatternRowsHold;
  return orvel::demo::scrollThroughInstalledOrvel(
      [&](const auto& argv, const auto& o) { return desk.rig->spawn(argv, o); },
      desk.installed.prefix(), {}, kMaxHeight, out, step, started);
}

}  // namespace

int main(int argc, char** argv) {
  const auto arguments = orvel::demo::demoArguments(argc, argv, "orvel-demo-kde");
  if (!arguments) return 2;
  const std::string& bin = arguments->bin;
  const std::string& out = arguments->out;
  Desk desk;
  if (!orvel::demo::installForDesktop(desk.installed, *arguments, "KDE")) return 1;
  orvel::kdetest::KWinOptions options;
  options.dataDirs = {desk.installed.prefix() + "/share"};
  options.entries = {
      {"orvel-kde-hand", bin + "/tests/kde/orvel_kde_hand", {}, {"org_kde_kwin_fake_input"}}};
  std::string whyNot;
  bool missing = false;
  desk.rig = orvel::kdetest::KWinRig::start(options, whyNot, missing);
  if (!desk.rig) {
    summarize(out, "KDE captures skipped: " + whyNot);
    return missing ? 0 : 1;
  }
  desk.hand = desk.rig->spawn({bin + "/tests/kde/orvel_kde_hand"});
  orvel::waylandtest::InputCounter page(
      desk.rig->spawn(orvel::waylandtest::InputCounter::arguments(1, kPageSeed)));
  if (!desk.hand || desk.hand->readLine(30s) != "ready" || !page.ready()) {
    summarize(out, "KDE captures FAILED: no hand or no page window");
    return 1;
  }
  const int region = regionCapture(desk, out, page);
  const int scrolling = scrollingCapture(desk, bin, out, page);
  return region != 0 ? region : scrolling;
}
