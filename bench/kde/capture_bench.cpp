// The capture helpers on a headless KWin with one output of 2000x1160 showing a page window over
// all of it, the helpers installed into a temporary prefix whose desktop entries authorise them:
//  - region-capture-helper: the freeze (from "prepare" and "capture" written to the helper's own
//    "selector-ready" trace line: the frozen pictures handed to the overlays), split at its
//    "snapshot-requested" and "screens-frozen" lines (the pictures asked for, and taken), beside
//    its floor, one CaptureScreen of the output on a connection of its own; and the time from
//    the fake pointer's release to the PNG of a 1920x1080 region renamed into place (inotify),
//    side by side with a whole-process screenshot of that region through KWin's ScreenShot2
//    (orvel_kde_screenshot, start to exit; raw rows, no PNG);
//  - scroll-capture-helper: the capture round trip of a 1920x1080 region, from "capture" written
//    to the last byte of its frame read, against its floor, one CaptureArea of the region on a
//    connection of its own (in one process, so without a process start).
// Targets: release to PNG <= 30 ms, freeze <= 150 ms, round trip <= 1.5x one CaptureArea.
//
//   kde_capture_bench [rounds [build]]    (default 7 rounds, this build; another build's helpers
//                                         are installed from its folder, e.g. a release build)
#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "input_counter_process.h"
#include "kwin_rig.h"
#include "kwin_windows.h"
#include "orvel/common/json_text.h"
#include "race_timing.h"
#include "rig_support.h"

namespace {

using namespace std::chrono_literals;
using namespace orvel::bench;
using orvel::Json;
using orvel::kdetest::ChildProcess;
using orvel::kdetest::KWinRig;
using orvel::testsupport::waitUntil;
using orvel::waylandtest::InputCounter;

constexpr int kOutputWidth = 2000, kOutputHeight = 1160;
constexpr int kLeft = 40, kTop = 40, kWidth = 1920, kHeight = 1080;

// The user's hand (orvel_kde_hand).
struct Hand {
  std::unique_ptr<ChildProcess> process;
  bool say(const std::string& command) {
    return process->write(command + "\n") && process->readLine(10s) == "ok";
  }
  bool move(int x, int y) { return say("move " + std::to_string(x) + " " + std::to_string(y)); }
  // Presses at the region's corner and drags to its far corner, holding the button.
  bool dragOver() {
    if (!move(kLeft, kTop) || !say("button down")) return false;
    for (int i = 1; i <= 4; ++i)
      if (!move(kLeft + kWidth * i / 4, kTop + kHeight * i / 4)) return false;
    return true;
  }
};

std::string verdict(bool met) {
  return met ? "met" : "NOT met";
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  orvel::kdetest::InstalledProject installed;
  std::string log;
  const std::string build = argc > 2 ? argv[2] : ORVEL_BUILD_DIR;
  if (!installed.install(build, log)) {
    std::printf("KDE capture bench: the install failed:\n%s", log.c_str());
    return 1;
  }
  orvel::kdetest::KWinOptions options;
  options.width = kOutputWidth;
  options.height = kOutputHeight;
  options.outputs = 1;
  options.dataDirs = {installed.prefix() + "/share"};
  options.entries = {
      {"orvel-kde-hand", ORVEL_KDE_HAND, {}, {"org_kde_kwin_fake_input"}},
      {"orvel-kde-screenshot", ORVEL_KDE_SCREENSHOT, {"org.kde.KWin.ScreenShot2"}, {}}};
  std::string whyNot;
  bool missing = false;
  auto rig = KWinRig::start(options, whyNot, missing);
  if (!rig) {
    std::printf("KDE capture bench skipped: %s\n", whyNot.c_str());
    return missing ? 0 : 1;
  }
  InputCounter page(rig->spawn(InputCounter::arguments(1, 3)));
  orvel::kdetest::KWinWindows windows(*rig);
  Hand hand{rig->spawn({ORVEL_KDE_HAND})};
  if (!page.ready() || !windows.ready() || !hand.process ||
      hand.process->readLine(30s) != "ready") {
    std::printf("KDE capture bench: no page, window list or hand\n");
    return 1;
  }
  const Json placed = windows.windowOf(page.pid());
  if (!placed.is_object() ||
      !windows.place(placed["number"].get<int>(), 0, 0, kOutputWidth, kOutputHeight)) {
    std::printf("KDE capture bench: the page window cannot be placed\n");
    return 1;
  }
  const std::string libexec = installed.prefix() + "/libexec/orvel/";
  std::string folder;
  if (!orvel::testsupport::makeRigFolder("kde-bench", folder, whyNot) ||
      !orvel::testsupport::handToServerUser(folder)) {
    std::printf("KDE capture bench: %s\n", whyNot.c_str());
    return 1;
  }
  const std::string area[] = {std::to_string(kLeft), std::to_string(kTop), std::to_string(kWidth),
                              std::to_string(kHeight)};
  // A tiny picture at the region's corner: the overlay, once up, dims it.
  auto corner = [&] {
    std::string out;
    rig->run({ORVEL_KDE_SCREENSHOT, "area", area[0], area[1], "1", "1", folder + "/corner"}, &out);
    return orvel::testsupport::readText(folder + "/corner");
  };
  waitUntil([&] { return !corner().empty(); }, 30s);
  const std::string bare = corner();

  // The region helper, its trace lines on its standard output with its replies.
  ChildProcess::Options withTrace;
  withTrace.environment = {{"ORVEL_CAPTURE_TRACE", "1"}};
  auto region =
      rig->spawn({"sh", "-c", "exec \"$0\" 2>&1", libexec + "region-capture-helper"}, withTrace);
  const int inotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  ::inotify_add_watch(inotify, folder.c_str(), IN_MOVED_TO);
  std::vector<double> freeze, requested, pictured, release, screenshot;
  for (int r = -1; r < rounds; ++r) {
    const std::string id = std::to_string(r + 2);
    const std::string name = "region-" + id + ".png";
    region->write(R"({"command":"prepare","id":)" + id + "}\n" + R"({"command":"capture","id":)" +
                  id + R"(,"path":")" + folder + "/" + name + "\"}\n");
    std::optional<double> frozen, asked, pictures;
    while (!frozen) {
      const auto line = region->readLine(30s);
      if (!line) break;
      frozen = tracedMs(*line, "selector-ready");
      if (auto ms = tracedMs(*line, "snapshot-requested")) asked = ms;
      if (auto ms = tracedMs(*line, "screens-frozen")) pictures = ms;
    }
    // KWin shows the overlay a moment after the helper handed it the pictures.
    if (!frozen || !waitUntil([&] { return corner() != bare; }, 30s) || !hand.dragOver()) {
      std::printf("KDE capture bench: the region capture did not start\n");
      return 1;
    }
    const auto released = RaceClock::now();
    hand.say("button up");
    if (!waitForRename(inotify, name, 10s)) {
      std::printf("KDE capture bench: no PNG\n");
      return 1;
    }
    const double took = ms(RaceClock::now() - released);
    for (auto line = region->readLine(10s); line && line->rfind('{', 0) != 0;)
      line = region->readLine(10s);
    const auto start = RaceClock::now();
    const bool shot = rig->run({ORVEL_KDE_SCREENSHOT, "area", area[0], area[1], area[2], area[3],
                                folder + "/screenshot"}) == 0;
    const double whole = ms(RaceClock::now() - start);
    waitUntil([&] { return corner() == bare; }, 30s);
    // The first round also maps the helper's buffers in: a user's first capture, not the usual.
    if (r < 0) continue;
    freeze.push_back(*frozen);
    if (asked && pictures) {
      requested.push_back(*asked);
      pictured.push_back(*pictures - *asked);
    }
    release.push_back(took);
    if (shot) screenshot.push_back(whole);
  }
  region->closeStdin();
  region->wait(10s);

  // The scroll helper: select the region, then capture it again and again.
  auto scroll = rig->spawn({libexec + "scroll-capture-helper"});
  auto ask = [&](const std::string& command) {
    scroll->write("{\"command\":\"" + command + "\"}\n");
    const auto line = scroll->readLine(20s);
    return line ? orvel::parseJson(*line).value_or(Json()) : Json();
  };
  scroll->write("{\"command\":\"select\"}\n");
  if (!waitUntil([&] { return corner() != bare; }, 30s) || !hand.dragOver() ||
      !hand.say("button up")) {
    std::printf("KDE capture bench: the selection did not start\n");
    return 1;
  }
  const auto line = scroll->readLine(20s);
  const Json selected = line ? orvel::parseJson(*line).value_or(Json()) : Json();
  // The pointer, which KWin draws into its pictures, out of the region.
  hand.move(kOutputWidth - 1, kOutputHeight - 1);
  if (!selected.value("ok", false)) {
    std::printf("KDE capture bench: the selection failed: %s\n", selected.dump().c_str());
    return 1;
  }
  std::vector<std::uint8_t> frame(std::size_t(kWidth) * kHeight * 4);
  std::vector<double> roundTrip;
  for (int r = -1; r < rounds * 2; ++r) {
    const auto start = RaceClock::now();
    const Json reply = ask("capture");
    if (!reply.value("ok", false) || reply.value("length", std::size_t(0)) != frame.size() ||
        !scroll->readInto(frame.data(), frame.size(), 20s)) {
      std::printf("KDE capture bench: capture failed: %s\n", reply.dump().c_str());
      return 1;
    }
    if (r >= 0) roundTrip.push_back(ms(RaceClock::now() - start));
  }
  ask("close");
  scroll->wait(10s);
  std::string floorOut;
  rig->run({ORVEL_KDE_SCREENSHOT, "time-area", area[0], area[1], area[2], area[3],
            std::to_string(rounds * 2 + 1)},
           &floorOut);
  // What orvel_kde_screenshot's time-* modes print: "median MS".
  auto printedMedian = [](const std::string& out) {
    std::istringstream words(out);
    std::string word;
    double ms = -1;
    words >> word >> ms;
    return ms;
  };
  const double floor = printedMedian(floorOut);
  // The freeze's own floor: one output's picture while nothing else asks KWin for anything.
  std::string outputs, screenOut;
  rig->run({ORVEL_KDE_SCREENSHOT, "outputs"}, &outputs);
  rig->run({ORVEL_KDE_SCREENSHOT, "time-screen", outputs.substr(0, outputs.find(' ')),
            std::to_string(rounds * 2 + 1)},
           &screenOut);
  const double screenFloor = printedMedian(screenOut);
  ::close(inotify);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);

  const double f = median(freeze), rel = median(release), s = median(screenshot);
  const double trip = median(roundTrip);
  std::printf(
      "KDE captures on headless KWin, one output %dx%d, region %dx%d, %d rounds, medians "
      "in ms\n",
      kOutputWidth, kOutputHeight, kWidth, kHeight, rounds);
  std::printf("%-44s %9s   %s\n", "measure", "ms", "target");
  std::printf("%-44s %9.1f   <= %.0f: %s\n", "region: capture request -> overlays' pictures", f,
              kFreezeTargetMs, verdict(f <= kFreezeTargetMs).c_str());
  std::printf("%-44s %9.1f\n", "  of which: request -> pictures asked for", median(requested));
  std::printf("%-44s %9.1f\n", "  of which: pictures asked for -> taken", median(pictured));
  std::printf("%-44s %9.1f\n", "floor: one CaptureScreen in a running process", screenFloor);
  std::printf("%-44s %9.1f   <= %.0f: %s\n", "region: release -> PNG renamed", rel,
              kReleaseTargetMs, verdict(rel <= kReleaseTargetMs).c_str());
  std::printf("%-44s %9.1f\n", "ScreenShot2 CaptureArea, whole process", s);
  std::printf("%-44s %9.1f   <= %.1fx floor: %s\n", "scroll: capture round trip", trip,
              kRoundTripRatio, verdict(floor > 0 && trip <= kRoundTripRatio * floor).c_str());
  std::printf("%-44s %9.1f   (ratio %.2f)\n", "floor: one CaptureArea in a running process", floor,
              floor > 0 ? trip / floor : 0);
  return 0;
}
