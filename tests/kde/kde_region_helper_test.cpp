// region-capture-helper on a headless KWin, run as the host runs it: installed into a temporary
// prefix whose desktop entry authorises it, a drag across the join of both outputs gives the
// pixels KWin's screenshot service showed there when the capture began (the window moved away
// under the overlay does not show), every way a capture ends (Escape, a click, a tiny drag,
// "cancel") gives input back to the window beneath, which sees none while the overlay is up, and
// KWin going away answers the waiting capture and every later one; at a fractional scale the drag
// gives KWin's pixels of the region at the outputs' pixel size; run from the build tree, which no
// entry names, it answers "capture" with what to install.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "input_counter_process.h"
#include "kwin_rig.h"
#include "kwin_windows.h"
#include "orvel/common/json_text.h"
#include "png_file.h"
#include "rgba_png.h"
#include "rig_support.h"
#include "sway_rig.h"

namespace orvel::kdetest {
namespace {

using namespace std::chrono_literals;
using waylandtest::Counts;
using waylandtest::InputCounter;
using waylandtest::readRgbaPng;
using waylandtest::waitUntil;

namespace fs = std::filesystem;

Json replyOf(ChildProcess& helper) {
  const auto line = helper.readLine(30s);
  return line ? parseJson(*line).value_or(Json()) : Json();
}

// The region every test drags or waits on straddles the join of the two outputs (x 1280), inside
// the page window placed there.
constexpr int x0 = 1180, y0 = 60, x1 = 1380, y1 = 160;
constexpr int kWindowX = 1000, kWindowY = 0, kWindowWidth = 640, kWindowHeight = 480;

Json canceled(int id) {
  return {{"id", id}, {"ok", true}, {"canceled", true}};
}

class KdeRegionHelperTest : public ::testing::Test {
 protected:
  // The screenshot program's raw picture of an area; empty when it fails.
  std::vector<std::uint8_t> area(int x, int y, int w, int h) {
    const std::string file = rig_->runtimeDir() + "/truth";
    std::string out;
    if (rig_->run({ORVEL_KDE_SCREENSHOT, "area", std::to_string(x), std::to_string(y),
                   std::to_string(w), std::to_string(h), file},
                  &out, 30s) != 0) {
      return {};
    }
    return testsupport::readFileBytes(file);
  }
  std::vector<std::uint8_t> region() { return area(x0, y0, x1 - x0, y1 - y0); }

  // The installed helper on a KWin showing a window with a varied page, the hand ready, and the
  // truth: KWin's own picture of the region once two in a row agree. At `scale` both outputs keep
  // their size in points.
  void startDesk(double scale = 1) {
    std::string log;
    ASSERT_TRUE(installed_.install(ORVEL_BUILD_DIR, log)) << log;
    KWinOptions options;
    options.scale = scale;
    options.width = static_cast<int>(std::lround(options.width * scale));
    options.height = static_cast<int>(std::lround(options.height * scale));
    options.dataDirs = {installed_.prefix() + "/share"};
    options.entries = {
        {"orvel-kde-hand", ORVEL_KDE_HAND, {}, {"org_kde_kwin_fake_input"}},
        {"orvel-kde-screenshot", ORVEL_KDE_SCREENSHOT, {"org.kde.KWin.ScreenShot2"}, {}}};
    bool missing = false;
    std::string whyNot;
    rig_ = KWinRig::start(options, whyNot, missing);
    if (!rig_ && missing) GTEST_SKIP() << "KDE test skipped: " << whyNot;
    ASSERT_TRUE(rig_) << whyNot;
    page_ = std::make_unique<InputCounter>(rig_->spawn(InputCounter::arguments(1, 5)));
    ASSERT_TRUE(page_->ready());
    windows_ = std::make_unique<KWinWindows>(*rig_);
    ASSERT_TRUE(windows_->ready());
    const Json placed = windows_->windowOf(page_->pid());
    ASSERT_TRUE(placed.is_object());
    pageNumber_ = placed["number"].get<int>();
    ASSERT_TRUE(windows_->place(pageNumber_, kWindowX, kWindowY, kWindowWidth, kWindowHeight));
    hand_ = rig_->spawn({ORVEL_KDE_HAND});
    ASSERT_TRUE(hand_);
    ASSERT_EQ(hand_->readLine(30s), "ready");
    ASSERT_TRUE(waitUntil(
        [&] {
          auto a = region();
          truth_ = region();
          return !truth_.empty() && a == truth_;
        },
        30s));
    // Chosen without being named: KWin lacks screencopy and answers for its screenshot service.
    helper_ = rig_->spawn({installed_.prefix() + "/libexec/orvel/region-capture-helper"});
    ASSERT_TRUE(helper_);
  }

  // "prepare" and "capture" into `path`; returns once the overlay shows the region dimmed.
  void startCapture(int id, const std::string& path) {
    const std::string n = std::to_string(id);
    helper_->write(R"({"command":"prepare","id":)" + n + "}\n" + R"({"command":"capture","id":)" +
                   n + R"(,"path":")" + path + "\"}\n");
    ASSERT_TRUE(waitUntil([&] { return region() != truth_; }, 30s))
        << helper_->readLine(1s).value_or("no reply");
  }

  // Drags across the join of the outputs over the region and lets go.
  void dragOverRegion() {
    for (const std::string& command :
         {"move " + std::to_string(x0) + " " + std::to_string(y0), std::string("button down"),
          std::string("move 1280 110"), "move " + std::to_string(x1) + " " + std::to_string(y1),
          std::string("button up")}) {
      ASSERT_TRUE(hand(command)) << command;
    }
  }

  // The pixels of the PNG at `path` that differ from the truth; -1 when it is not
  // width x height.
  long differingFromTruth(const std::string& path, int width, int height) {
    auto png = readRgbaPng(path);
    if (!png || png->width != width || png->height != height ||
        truth_.size() != static_cast<std::size_t>(width) * height * 4) {
      return -1;
    }
    long differing = 0;
    for (int y = 0; y < png->height; ++y) {
      for (int x = 0; x < png->width; ++x) {
        const std::uint8_t* t = truth_.data() + (static_cast<std::size_t>(y) * png->width + x) * 4;
        const std::uint8_t* p = png->at(x, y);
        differing += p[0] != t[2] || p[1] != t[1] || p[2] != t[0] || p[3] != t[3];
      }
    }
    return differing;
  }

  bool hand(const std::string& command) {
    return hand_->write(command + "\n") && hand_->readLine(10s) == "ok";
  }
  bool move(int x, int y) { return hand("move " + std::to_string(x) + " " + std::to_string(y)); }
  bool click() { return hand("button down") && hand("button up"); }
  // Presses and releases the key of Linux input code `code`.
  bool key(int code) {
    const std::string k = "key " + std::to_string(code);
    return hand(k + " down") && hand(k + " up");
  }
  void send(const std::string& line) { ASSERT_TRUE(helper_->write(line + "\n")); }
  // The overlay is gone: the region shows what it showed before the capture.
  bool overlayGone() {
    return waitUntil([&] { return region() == truth_; }, 30s);
  }

  InstalledProject installed_;
  std::unique_ptr<KWinRig> rig_;
  std::unique_ptr<InputCounter> page_;
  std::unique_ptr<KWinWindows> windows_;
  int pageNumber_ = 0;
  std::unique_ptr<ChildProcess> hand_, helper_;
  std::vector<std::uint8_t> truth_;
};

TEST_F(KdeRegionHelperTest, InstalledHelperCapturesADragAcrossOutputsAsKWinShowedItAtTheStart) {
  ASSERT_NO_FATAL_FAILURE(startDesk());
  if (!rig_) return;
  const std::string path = rig_->runtimeDir() + "/region.png";
  ASSERT_NO_FATAL_FAILURE(startCapture(7, path));
  // The page leaves the region under the overlay: the capture keeps the frozen picture.
  ASSERT_TRUE(windows_->place(pageNumber_, 100, 300, kWindowWidth, kWindowHeight));
  ASSERT_NO_FATAL_FAILURE(dragOverRegion());
  auto& helper = helper_;
  const auto& truth = truth_;
  const Json answer = replyOf(*helper);
  const Json region = {{"x", x0}, {"y", y0}, {"width", x1 - x0}, {"height", y1 - y0}};
  ASSERT_EQ(answer, (Json{{"id", 7}, {"ok", true}, {"region", region}})) << answer.dump();
  EXPECT_EQ(differingFromTruth(path, x1 - x0, y1 - y0), 0);
  // The page did leave: the region shows something else now.
  EXPECT_TRUE(waitUntil([&] {
    const auto now = this->region();
    return !now.empty() && now != truth;
  }));
  helper->write("{\"command\":\"quit\"}\n");
  EXPECT_EQ(helper->wait(10s), 0);
}

TEST_F(KdeRegionHelperTest, AtAFractionalScaleADragAcrossOutputsGivesKWinsPixelsOfTheRegion) {
  constexpr double kScale = 1.5;
  ASSERT_NO_FATAL_FAILURE(startDesk(kScale));
  if (!rig_) return;
  const std::string path = rig_->runtimeDir() + "/region.png";
  ASSERT_NO_FATAL_FAILURE(startCapture(3, path));
  ASSERT_NO_FATAL_FAILURE(dragOverRegion());
  const Json answer = replyOf(*helper_);
  const Json region = {{"x", x0}, {"y", y0}, {"width", x1 - x0}, {"height", y1 - y0}};
  ASSERT_EQ(answer, (Json{{"id", 3}, {"ok", true}, {"region", region}})) << answer.dump();
  // The region in the outputs' pixels, as KWin pictured it, at their resolution (108 dpi).
  EXPECT_EQ(differingFromTruth(path, static_cast<int>((x1 - x0) * kScale),
                               static_cast<int>((y1 - y0) * kScale)),
            0);
  const auto decoded = orvel::region::testing::readPng(path);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->pixelsPerMetre, 4252u);
  helper_->write("{\"command\":\"quit\"}\n");
  EXPECT_EQ(helper_->wait(10s), 0);
}

TEST_F(KdeRegionHelperTest, EveryEndGivesInputBackTheWindowSawNoneAndKWinGoneAnswersAtOnce) {
  ASSERT_NO_FATAL_FAILURE(startDesk());
  if (!rig_) return;
  const std::string path = rig_->runtimeDir() + "/region.png";
  const Counts before = page_->counts();
  // The page has the keyboard when the capture starts; the overlay takes it once KWin shows it,
  // and the helper, which judges KWin's focus then, does not take the page for a rival holding it.
  ASSERT_TRUE(waitUntil([&] { return page_->focused(); }, 30s));
  // A click and a key on the overlay, then Escape, which cancels.
  ASSERT_NO_FATAL_FAILURE(startCapture(8, path));
  EXPECT_TRUE(waitUntil([&] { return !page_->focused(); }, 30s));
  ASSERT_TRUE(move(1100, 300) && hand("button down"));
  ASSERT_TRUE(key(30));  // KEY_A
  ASSERT_TRUE(key(1));   // KEY_ESC
  ASSERT_TRUE(hand("button up"));
  EXPECT_EQ(replyOf(*helper_), canceled(8));
  EXPECT_FALSE(fs::exists(path));
  ASSERT_TRUE(overlayGone());

  // A drag of a point or two cancels.
  ASSERT_NO_FATAL_FAILURE(startCapture(9, path));
  ASSERT_TRUE(move(1200, 300) && hand("button down") && move(1201, 302) && hand("button up"));
  EXPECT_EQ(replyOf(*helper_), canceled(9));
  EXPECT_FALSE(fs::exists(path));
  ASSERT_TRUE(overlayGone());

  // "cancel" for another capture is ignored; for this one it cancels.
  ASSERT_NO_FATAL_FAILURE(startCapture(10, path));
  ASSERT_NO_FATAL_FAILURE(send(R"({"command":"cancel","id":99})"));
  ASSERT_NO_FATAL_FAILURE(send(R"({"command":"cancel","id":10})"));
  EXPECT_EQ(replyOf(*helper_), canceled(10));
  ASSERT_TRUE(overlayGone());
  // No press or key reached the window under the overlay; now they do.
  const Counts during = page_->counts();
  EXPECT_EQ(during.keys, before.keys);
  EXPECT_EQ(during.buttons, before.buttons);
  ASSERT_TRUE(move(1100, 300) && click() && key(48));  // KEY_B
  EXPECT_TRUE(waitUntil([&] {
    const Counts now = page_->counts();
    return now.buttons == before.buttons + 1 && now.keys == before.keys + 1;
  }));

  // KWin goes away while a capture waits for the drag: the capture is answered, and so is every
  // later one, as where no display was ever reachable.
  ASSERT_NO_FATAL_FAILURE(startCapture(11, path));
  page_.reset();
  windows_.reset();
  rig_->killCompositor();
  EXPECT_EQ(replyOf(*helper_), canceled(11));
  helper_->write(R"({"command":"prepare","id":12})"
                 "\n");
  EXPECT_EQ(replyOf(*helper_),
            (Json{{"id", 12},
                  {"ok", false},
                  {"permission", true},
                  {"error",
                   "Cannot connect to the display. Start Orvel inside your desktop "
                   "session."}}));
  helper_->write("{\"command\":\"quit\"}\n");
  EXPECT_EQ(helper_->wait(10s), 0);
}

TEST_F(KdeRegionHelperTest, HelperFromTheBuildTreeIsToldWhatToInstall) {
  START_KWIN(rig, KWinOptions{});
  ChildProcess::Options o;
  o.environment = {{"ORVEL_BACKEND", "kde"}};
  auto helper = rig->spawn({ORVEL_REGION_HELPER}, o);
  ASSERT_TRUE(helper);
  helper->write(R"({"command":"prepare","id":1})"
                "\n"
                R"({"command":"capture","id":1,"path":"/nonexistent/region.png"})"
                "\n");
  const Json prepared = replyOf(*helper);
  const Json answer = prepared.contains("error") ? prepared : replyOf(*helper);
  ASSERT_TRUE(answer.contains("error")) << prepared.dump() << answer.dump();
  const std::string error = answer["error"].get<std::string>();
  EXPECT_NE(error.find("KDE Plasma refused screen pictures to " + std::string(ORVEL_REGION_HELPER)),
            std::string::npos)
      << error;
  EXPECT_NE(error.find("share/applications/orvel-region-capture-helper.desktop"), std::string::npos)
      << error;
}

}  // namespace
}  // namespace orvel::kdetest
