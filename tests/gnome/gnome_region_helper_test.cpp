// region-capture-helper on a headless gnome-shell, run as the host runs it, the backend chosen by
// itself: a drag across the join of both monitors, played through mutter's RemoteDesktop, gives
// the pixels the shell's own ScreenCast shows there; a tiny selection, cancel, quit and a killed
// helper end the overlay and give the pointer back; with another window focused no input leaks
// and every end gives it back; the freeze holds; a monitor switched off before the capture or
// under its overlay fails it; an overlay shown in the Activities overview fails the capture;
// Escape cancels; the shell going away answers the waiting capture at once, and the helper
// neither says more nor spins; monitors of fractional and mixed scales compose at the highest.
#include <gtest/gtest.h>
#include <signal.h>
#include <xkbcommon/xkbcommon-keysyms.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "gnome_desk_test.h"
#include "installed_project.h"
#include "messages.h"
#include "platform/gnome/gnome_window_list.h"
#include "png_file.h"
#include "region_helper_desk.h"
#include "rig_support.h"

namespace orvel::gnometest {
namespace {

using namespace std::chrono_literals;
using waylandtest::canceled;
using waylandtest::prepareAndCapture;
using waylandtest::reply;
using waylandtest::RgbaPicture;
using waylandtest::send;
using waylandtest::waitUntil;

// The region every test drags or waits on straddles the join of the two monitors (x 1280) and
// holds the end of the top bar (its icons, not its clock, which may turn meanwhile), but not the
// overlay's instruction (from x 1315).
constexpr int x0 = 1180, y0 = 2, x1 = 1310, y1 = 122;

class GnomeRegionHelperTest : public GnomeDeskTest {
 protected:
  // The shell's own pictures of the watched region at the pictures' scale, as straight RGBA;
  // nothing when they fail.
  std::optional<RgbaPicture> region() {
    return area(watched_.left, watched_.top, watched_.right, watched_.bottom, scale_);
  }
  // The same of the area from (left, top) to (right, bottom), at `scale` pixels per point.
  std::optional<RgbaPicture> area(int left, int top, int right, int bottom, double scale = 1) {
    auto pictures = monitorPictures();
    if (!pictures) return std::nullopt;
    return layoutArea(*pictures, left, top, right, bottom, scale);
  }

  // A shell out of its overview (where windows take no input), the hand ready, the truth taken
  // once two pictures in a row agree, and the helper started.
  void startDesk(const GnomeOptions& options = {}) {
    ASSERT_NO_FATAL_FAILURE(startShell(options));
    if (!rig_) return;
    std::string whyNot;
    hand_ = GnomeHand::open(*loop_, *bus_, whyNot);
    ASSERT_TRUE(hand_) << whyNot;
    ASSERT_TRUE(hand_->warmUp());
    ASSERT_TRUE(settleTruth(/*patterned=*/true));
    ASSERT_NO_FATAL_FAILURE(startHelper());
  }

  // Takes the truth once two pictures in a row agree (and, `patterned`, are not of one colour).
  bool settleTruth(bool patterned) {
    return waitUntil(
        [&] {
          auto a = region();
          truth_ = region();
          return a && truth_ && a->rgba == truth_->rgba &&
                 (!patterned || !waylandtest::uniform(*truth_));
        },
        30s);
  }

  // The helper as the host runs it, its trace (ORVEL_CAPTURE_TRACE) and log in helper.log; the
  // installed one (installedHelper_) as the session's user, whose /proc the extension reads.
  void startHelper() {
    const std::vector<std::string> argv = {
        "sh", "-c", "exec \"$0\" 2>>\"$1\"",
        installedHelper_.empty() ? std::string(ORVEL_REGION_HELPER) : installedHelper_,
        helperLog()};
    if (installedHelper_.empty()) {
      auto environment = rig_->environment();
      environment["ORVEL_CAPTURE_TRACE"] = "1";
      helper_ = waylandtest::startProcess(argv, environment);
    } else {
      testsupport::ChildProcess::Options o;
      o.environment["ORVEL_CAPTURE_TRACE"] = "1";
      helper_ = rig_->spawn(argv, o);
    }
    ASSERT_TRUE(helper_);
  }
  std::string helperLog() const { return rig_->runtimeDir() + "/helper.log"; }
  // Whether the helper has traced `event` `count` times so far (a prepare has opened its capture
  // once it traced "session-input-shield").
  bool traced(const std::string& event, std::size_t count) {
    return waitUntil(
        [&] {
          std::istringstream lines(testsupport::readText(helperLog()));
          std::size_t seen = 0;
          for (std::string line; std::getline(lines, line);)
            seen += line.rfind("CAPTURE " + event + " ", 0) == 0;
          return seen >= count;
        },
        30s);
  }

  // Prepare and capture into `path`; returns once the overlay shows the region dimmed.
  void startCapture(int id, const std::string& path) {
    prepareAndCapture(*helper_, id, path);
    long wrong = -1;
    ASSERT_TRUE(overlaySettled([&] { return region(); }, *truth_, wrong, 30s))
        << wrong << " pixels of the overlay are not the dimmed screen; "
        << helper_->readLine(1s).value_or("no reply") << "; the helper's log:\n"
        << testsupport::readText(helperLog());
  }

  // `answer` fails capture `id` as a display that changed does, nothing is written to `path`, and
  // the helper ends on "quit".
  void expectDisplayChanged(const Json& answer, int id, const std::string& path) {
    EXPECT_EQ(answer, waylandtest::failed(id, "Display configuration changed. Retry Capture."))
        << testsupport::readText(helperLog());
    EXPECT_FALSE(std::filesystem::exists(path));
    send(*helper_, R"({"command":"quit"})");
    EXPECT_EQ(helper_->wait(10s), 0);
  }

  // Whether the overlay has gone: the shell's picture of the drag region is the truth again.
  bool overlayGone() {
    return waitUntil(
        [&] {
          auto shown = region();
          return shown && shown->rgba == truth_->rgba;
        },
        30s);
  }

  struct Area {
    int left, top, right, bottom;
  };
  Area watched_{x0, y0, x1, y1};
  double scale_ = 1;             // of the pictures held to the shell's
  std::string installedHelper_;  // empty: the build's helper
  std::unique_ptr<GnomeHand> hand_;
  std::optional<RgbaPicture> truth_;
  std::unique_ptr<testsupport::ChildProcess> helper_;
};

TEST_F(GnomeRegionHelperTest, ADragAcrossMonitorsGivesThePixelsTheShellShows) {
  ASSERT_NO_FATAL_FAILURE(startDesk());
  if (!rig_) return;
  const std::string path = rig_->runtimeDir() + "/region.png";
  ASSERT_NO_FATAL_FAILURE(startCapture(7, path));
  // Both monitors' pictures shown: the end of the freeze as the user sees it.
  EXPECT_TRUE(traced("overlay-shown", 1)) << testsupport::readText(helperLog());
  ASSERT_TRUE(hand_->move(x0, y0));
  ASSERT_TRUE(hand_->button(true));
  ASSERT_TRUE(hand_->move(1280, 60));
  ASSERT_TRUE(hand_->move(x1, y1));
  ASSERT_TRUE(hand_->button(false));
  const Json answer = reply(*helper_, 30s);
  const Json area = {{"x", x0}, {"y", y0}, {"width", x1 - x0}, {"height", y1 - y0}};
  ASSERT_EQ(answer, (Json{{"id", 7}, {"ok", true}, {"region", area}})) << answer.dump();
  auto png = waylandtest::readRgbaPng(path);
  ASSERT_TRUE(png);
  ASSERT_EQ(png->width, truth_->width);
  ASSERT_EQ(png->height, truth_->height);
  EXPECT_TRUE(png->rgba == truth_->rgba);
  send(*helper_, R"({"command":"quit"})");
  EXPECT_EQ(helper_->wait(10s), 0);
}

// The main monitor at 1.25, the other at 2.5, in mutter's logical layout (fractional scaling on):
// 800x480 points each. A drag across their join writes the region at the higher scale, with its
// resolution; the 1.25 monitor's pixels each fill 2x2 of it. The region's edges lie on whole pixels
// of both monitors, so that the pixels are exact.
TEST_F(GnomeRegionHelperTest, ADragAcrossFractionalScalesComposesAtTheHighest) {
  GnomeOptions options;
  options.monitors = {{1000, 600}, {2000, 1200}};
  options.scales = {1.25, 2.5};
  watched_ = {700, 4, 824, 124};
  scale_ = 2.5;
  ASSERT_NO_FATAL_FAILURE(startDesk(options));
  if (!rig_) return;
  const std::string path = rig_->runtimeDir() + "/scaled.png";
  ASSERT_NO_FATAL_FAILURE(startCapture(11, path));
  ASSERT_TRUE(hand_->move(watched_.left, watched_.top));
  ASSERT_TRUE(hand_->button(true));
  ASSERT_TRUE(hand_->move(800, 60));
  ASSERT_TRUE(hand_->move(watched_.right, watched_.bottom));
  ASSERT_TRUE(hand_->button(false));
  const Json answer = reply(*helper_, 30s);
  const int width = watched_.right - watched_.left, height = watched_.bottom - watched_.top;
  const Json area = {
      {"x", watched_.left}, {"y", watched_.top}, {"width", width}, {"height", height}};
  ASSERT_EQ(answer, (Json{{"id", 11}, {"ok", true}, {"region", area}})) << answer.dump();
  auto png = region::testing::readPng(path);
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, width * 5 / 2);
  EXPECT_EQ(png->height, height * 5 / 2);
  // 72 dots per inch a point.
  EXPECT_EQ(png->pixelsPerMetre, static_cast<std::uint32_t>(std::lround(72 * 2.5 / 0.0254)));
  EXPECT_TRUE(png->rgba == truth_->rgba);
  send(*helper_, R"({"command":"quit"})");
  EXPECT_EQ(helper_->wait(10s), 0);
}

// The orange of the shell's screen-sharing indicator, in straight RGBA.
bool sharingIndicatorColour(const std::uint8_t* p) {
  return p[0] > 150 && p[1] > 90 && p[1] < 200 && p[2] < 90;
}

// With Orvel's extension enabled, the pictures of the installed region helper's recording show
// the top bar as it was: the shell shows its sharing indicator for every screen cast and remote
// desktop session, the test's own ones too, so the first pictures (taken by a program standing
// where the scroll helper stands, which the extension answers as it answers the region helper)
// come before the test opened any; then the shell's pictures show the indicator, and the first
// ones differ from them only there and show none. Then the installed region helper: an indicator
// on the screen (the hand's session) stays in its picture.
TEST_F(GnomeRegionHelperTest, TheInstalledHelperFreezesTheScreenWithoutTheSharingIndicator) {
  testsupport::InstalledProject installed;
  std::string log;
  ASSERT_TRUE(installed.install(ORVEL_BUILD_DIR, log)) << log;
  ASSERT_TRUE(installed.replaceHelper("scroll-capture-helper", ORVEL_GNOME_MONITOR_PICTURES));
  installedHelper_ = installed.prefix() + "/libexec/orvel/region-capture-helper";
  GnomeOptions options;
  options.dataDirs = {installed.prefix() + "/share"};
  ASSERT_NO_FATAL_FAILURE(startShell(options));
  if (!rig_) return;
  std::string whyNot;
  ASSERT_TRUE(enableExtension(*loop_, *bus_, gnome::kExtensionUuid, whyNot)) << whyNot;
  // The end of the main monitor's top bar, where the indicator shows, and a strip of the other.
  watched_ = {1040, 2, 1310, 62};
  const std::string raw = rig_->runtimeDir() + "/first.rgba";
  auto probe = rig_->spawn({installed.prefix() + "/libexec/orvel/scroll-capture-helper",
                            std::to_string(watched_.left), std::to_string(watched_.top),
                            std::to_string(watched_.right), std::to_string(watched_.bottom), raw});
  ASSERT_TRUE(probe);
  ASSERT_EQ(probe->wait(30s), 0);
  waylandtest::RgbaPicture first;
  {
    std::ifstream in(raw, std::ios::binary);
    in >> first.width >> first.height;
    in.get();
    first.rgba.resize(static_cast<std::size_t>(first.width) * first.height * 4);
    in.read(reinterpret_cast<char*>(first.rgba.data()),
            static_cast<std::streamsize>(first.rgba.size()));
    ASSERT_TRUE(in) << "no pictures in " << raw;
  }
  ASSERT_TRUE(settleTruth(/*patterned=*/false));
  ASSERT_EQ(first.width, truth_->width);
  ASSERT_EQ(first.height, truth_->height);
  int left = truth_->width, top = truth_->height, right = -1, bottom = -1;
  for (int y = 0; y < truth_->height; ++y) {
    for (int x = 0; x < truth_->width; ++x) {
      if (!sharingIndicatorColour(truth_->at(x, y))) continue;
      left = std::min(left, x);
      top = std::min(top, y);
      right = std::max(right, x);
      bottom = std::max(bottom, y);
    }
  }
  ASSERT_GT(right - left, 20) << "the shell's pictures show no sharing indicator";
  int indicatorShown = 0, differentElsewhere = 0;
  for (int y = 0; y < first.height; ++y) {
    for (int x = 0; x < first.width; ++x) {
      indicatorShown += sharingIndicatorColour(first.at(x, y));
      const bool nearIndicator = x >= left - 3 && x <= right + 3 && y >= top - 3 && y <= bottom + 3;
      differentElsewhere += !nearIndicator && std::memcmp(first.at(x, y), truth_->at(x, y), 4) != 0;
    }
  }
  EXPECT_EQ(indicatorShown, 0);
  EXPECT_EQ(differentElsewhere, 0);

  hand_ = GnomeHand::open(*loop_, *bus_, whyNot);
  ASSERT_TRUE(hand_) << whyNot;
  ASSERT_TRUE(hand_->warmUp());
  ASSERT_NO_FATAL_FAILURE(startHelper());
  const std::string path = rig_->runtimeDir() + "/top-bar.png";
  prepareAndCapture(*helper_, 31, path);
  ASSERT_TRUE(traced("overlay-shown", 1)) << testsupport::readText(helperLog());
  ASSERT_TRUE(hand_->move(watched_.left, watched_.top));
  ASSERT_TRUE(hand_->button(true));
  ASSERT_TRUE(hand_->move(1200, 30));
  ASSERT_TRUE(hand_->move(watched_.right, watched_.bottom));
  ASSERT_TRUE(hand_->button(false));
  const Json answer = reply(*helper_, 30s);
  const Json area = {{"x", watched_.left},
                     {"y", watched_.top},
                     {"width", watched_.right - watched_.left},
                     {"height", watched_.bottom - watched_.top}};
  ASSERT_EQ(answer, (Json{{"id", 31}, {"ok", true}, {"region", area}}))
      << answer.dump() << "\n"
      << testsupport::readText(helperLog());
  auto png = waylandtest::readRgbaPng(path);
  ASSERT_TRUE(png);
  EXPECT_TRUE(png->rgba == truth_->rgba);
  send(*helper_, R"({"command":"quit"})");
  EXPECT_EQ(helper_->wait(10s), 0);
}

// An ordinary application, its window centred on the main monitor (640x480 from (320, 160)
// below the top bar).
constexpr int kInsideX = 640, kInsideY = 420;

// The cases of the wlroots region tests that need no keyboard focus, on one shell: a tiny
// selection cancels, the host's cancel and quit and a killed helper end the overlay, every end
// gives the pointer back to the window beneath, and the freeze holds.
TEST_F(GnomeRegionHelperTest, EveryEndGivesThePointerBackAndTheFreezeHolds) {
  ASSERT_NO_FATAL_FAILURE(startDesk());
  if (!rig_) return;
  waylandtest::InputCounter counter(
      waylandtest::startProcess(waylandtest::InputCounter::arguments(), rig_->environment()));
  ASSERT_TRUE(counter.ready());
  const std::string path = rig_->runtimeDir() + "/cases.png";

  // A selection of a point or two cancels and writes nothing.
  ASSERT_NO_FATAL_FAILURE(startCapture(22, path));
  ASSERT_TRUE(hand_->move(600, 300));
  ASSERT_TRUE(hand_->button(true));
  ASSERT_TRUE(hand_->move(601, 302));
  ASSERT_TRUE(hand_->button(false));
  EXPECT_EQ(reply(*helper_), canceled(22));
  EXPECT_FALSE(std::filesystem::exists(path));
  ASSERT_TRUE(overlayGone()) << testsupport::readText(helperLog());

  // The host's cancel, then its quit, end the overlay.
  ASSERT_NO_FATAL_FAILURE(startCapture(23, path));
  send(*helper_, R"({"command":"cancel","id":23})");
  EXPECT_EQ(reply(*helper_), canceled(23));
  ASSERT_TRUE(overlayGone()) << testsupport::readText(helperLog());
  ASSERT_NO_FATAL_FAILURE(startCapture(24, path));
  send(*helper_, R"({"command":"quit"})");
  EXPECT_EQ(reply(*helper_), canceled(24));
  EXPECT_EQ(helper_->wait(10s), 0);
  ASSERT_TRUE(overlayGone()) << testsupport::readText(helperLog());
  // A helper killed under its overlay takes the overlay with it.
  ASSERT_NO_FATAL_FAILURE(startHelper());
  ASSERT_NO_FATAL_FAILURE(startCapture(25, path));
  helper_->kill();
  ASSERT_TRUE(overlayGone()) << testsupport::readText(helperLog());

  // After every end the pointer reaches the window again.
  const waylandtest::Counts before = counter.counts();
  ASSERT_TRUE(hand_->move(kInsideX, kInsideY));
  ASSERT_TRUE(hand_->button(true));
  ASSERT_TRUE(hand_->button(false));
  EXPECT_TRUE(waitUntil([&] { return counter.counts().buttons == before.buttons + 1; }, 10s))
      << counter.counts().buttons - before.buttons << " clicks reached the window";

  // The freeze holds: the window closes under the overlay, and the capture of its place still
  // shows it as it was.
  constexpr int a0 = 500, b0 = 300, a1 = 700, b1 = 420;
  const auto window = area(a0, b0, a1, b1);
  ASSERT_TRUE(window);
  ASSERT_NO_FATAL_FAILURE(startHelper());
  ASSERT_NO_FATAL_FAILURE(startCapture(26, path));
  ASSERT_EQ(::kill(counter.pid(), SIGKILL), 0);
  ASSERT_TRUE(hand_->move(a0, b0));
  ASSERT_TRUE(hand_->button(true));
  ASSERT_TRUE(hand_->move(a1, b1));
  ASSERT_TRUE(hand_->button(false));
  const Json answer = reply(*helper_, 30s);
  const Json place = {{"x", a0}, {"y", b0}, {"width", a1 - a0}, {"height", b1 - b0}};
  ASSERT_EQ(answer, (Json{{"id", 26}, {"ok", true}, {"region", place}})) << answer.dump();
  auto png = waylandtest::readRgbaPng(path);
  ASSERT_TRUE(png);
  EXPECT_TRUE(png->rgba == window->rgba);
  // ...which is no longer what the shell shows there.
  EXPECT_TRUE(waitUntil(
      [&] {
        auto now = area(a0, b0, a1, b1);
        return now && now->rgba != window->rgba;
      },
      10s));
  send(*helper_, R"({"command":"quit"})");
  EXPECT_EQ(helper_->wait(10s), 0);
}

// A monitor switched off between "prepare" and "capture" fails the capture with its message, as
// a display that goes away does on every desktop.
TEST_F(GnomeRegionHelperTest, AMonitorSwitchedOffBeforeTheCaptureFailsIt) {
  ASSERT_NO_FATAL_FAILURE(startDesk());
  if (!rig_) return;
  const std::string gone = rig_->runtimeDir() + "/gone.png";
  send(*helper_, R"({"command":"prepare","id":27})");
  // The helper has just started: the monitor goes once it has taken "prepare".
  ASSERT_TRUE(traced("session-input-shield", 1)) << testsupport::readText(helperLog());
  ASSERT_TRUE(keepOnlyMonitor(*loop_, *bus_, "Meta-0"));
  send(*helper_, R"({"command":"capture","id":27,"path":")" + gone + "\"}");
  expectDisplayChanged(reply(*helper_, 30s), 27, gone);
}

// A monitor switched off while the overlay shows the frozen screens ends the capture at once with
// the same message, and no picture is written: once mutter has moved the overlay's windows off
// the monitor that went, no press or release reaches the helper, so it cannot wait for the drag.
TEST_F(GnomeRegionHelperTest, AMonitorSwitchedOffUnderTheOverlayFailsTheCapture) {
  ASSERT_NO_FATAL_FAILURE(startDesk());
  if (!rig_) return;
  const std::string gone = rig_->runtimeDir() + "/gone.png";
  ASSERT_NO_FATAL_FAILURE(startCapture(28, gone));
  // The hand's sessions record every monitor: mutter would end them with the monitor.
  hand_.reset();
  ASSERT_TRUE(keepOnlyMonitor(*loop_, *bus_, "Meta-0"));
  expectDisplayChanged(reply(*helper_, 30s), 28, gone);
}

// With an ordinary window focused beforehand (and the hand's latest click on it), the overlay
// takes the keyboard and the pointer: nothing reaches the window beneath while it is up, and both
// reach the window again after the end.
TEST_F(GnomeRegionHelperTest, WithAnotherWindowFocusedNoInputLeaksAndEveryEndGivesItBack) {
  ASSERT_NO_FATAL_FAILURE(startDesk());
  if (!rig_) return;
  waylandtest::InputCounter counter(
      waylandtest::startProcess(waylandtest::InputCounter::arguments(), rig_->environment()));
  ASSERT_TRUE(counter.ready());
  ASSERT_TRUE(hand_->move(kInsideX, kInsideY));
  ASSERT_TRUE(hand_->button(true));
  ASSERT_TRUE(hand_->button(false));
  ASSERT_TRUE(waitUntil([&] { return counter.focused(); }, 10s));
  const waylandtest::Counts focused = counter.counts();
  const std::string path = rig_->runtimeDir() + "/cases.png";

  // A press and keys while the overlay is up reach the helper, not the window beneath: a key,
  // then Escape, which cancels, before the release (a click alone would end the capture as a
  // selection too small, and keys after it go to the window that has the focus back).
  ASSERT_NO_FATAL_FAILURE(startCapture(21, path));
  ASSERT_TRUE(hand_->move(kInsideX + 5, kInsideY + 5));
  ASSERT_TRUE(hand_->button(true));
  ASSERT_TRUE(hand_->tap(XKB_KEY_a));
  ASSERT_TRUE(hand_->tap(XKB_KEY_Escape));
  ASSERT_TRUE(hand_->button(false));
  EXPECT_EQ(reply(*helper_), canceled(21));
  ASSERT_TRUE(overlayGone()) << testsupport::readText(helperLog());
  EXPECT_EQ(counter.counts(), focused);

  // After the end the input reaches the window again.
  ASSERT_TRUE(hand_->move(kInsideX, kInsideY));
  ASSERT_TRUE(hand_->button(true));
  ASSERT_TRUE(hand_->button(false));
  ASSERT_TRUE(hand_->tap(XKB_KEY_b));
  EXPECT_TRUE(waitUntil(
      [&] {
        const waylandtest::Counts now = counter.counts();
        return now.buttons == focused.buttons + 1 && now.keys == focused.keys + 1;
      },
      10s));
  send(*helper_, R"({"command":"quit"})");
  EXPECT_EQ(helper_->wait(10s), 0);
}

// In the Activities overview a new window shows as a thumbnail and gets no keyboard: the overlay
// shown there takes no input, and the capture fails at once instead of waiting for a drag that
// cannot come.
TEST_F(GnomeRegionHelperTest, AnOverlayThatGetsNoKeyboardFailsTheCapture) {
  ASSERT_NO_FATAL_FAILURE(startDesk());
  if (!rig_) return;
  ASSERT_TRUE(openOverview(*loop_, *bus_));
  const std::string path = rig_->runtimeDir() + "/region.png";
  prepareAndCapture(*helper_, 5, path);
  EXPECT_EQ(reply(*helper_, 30s), waylandtest::failed(5, region::kInputUnavailable));
  EXPECT_FALSE(std::filesystem::exists(path));
  send(*helper_, R"({"command":"quit"})");
  EXPECT_EQ(helper_->wait(10s), 0);
}

// The helper's processor time so far, in clock ticks.
long cpuTicks(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto end = text.rfind(')');
  if (end == std::string::npos) return -1;
  std::istringstream fields(text.substr(end + 2));
  std::string skip;
  for (int i = 3; i < 14; ++i)
    fields >> skip;
  long user = 0, system = 0;
  fields >> user >> system;
  return user + system;
}

TEST_F(GnomeRegionHelperTest, EscapeCancelsAndTheShellGoneAnswersAtOnceWithoutSpinning) {
  ASSERT_NO_FATAL_FAILURE(startDesk());
  if (!rig_) return;
  const std::string path = rig_->runtimeDir() + "/region.png";
  ASSERT_NO_FATAL_FAILURE(startCapture(8, path));
  ASSERT_TRUE(hand_->tap(XKB_KEY_Escape));
  EXPECT_EQ(reply(*helper_), canceled(8));
  EXPECT_FALSE(std::filesystem::exists(path));

  ASSERT_NO_FATAL_FAILURE(startCapture(9, path));
  hand_.reset();
  ASSERT_EQ(::kill(rig_->shellPid(), SIGKILL), 0);
  const auto killed = std::chrono::steady_clock::now();
  EXPECT_EQ(reply(*helper_, 5s), canceled(9));
  EXPECT_LT(std::chrono::steady_clock::now() - killed, 1s);
  // Nothing more to say, and no processor time spent waiting for a shell that is gone.
  const long before = cpuTicks(helper_->pid());
  EXPECT_EQ(helper_->readLine(1500ms), std::nullopt);
  EXPECT_LT(cpuTicks(helper_->pid()) - before, 30);
  send(*helper_, R"({"command":"quit"})");
  EXPECT_EQ(helper_->wait(10s), 0);
}

}  // namespace
}  // namespace orvel::gnometest
