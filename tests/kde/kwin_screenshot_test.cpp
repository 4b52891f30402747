// KWin's screenshot service through the project's client, from a program a desktop entry
// authorises: whole outputs, an area across the join of two outputs that matches them pixel for
// pixel, and the refusal of the same program where no entry names it.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "kwin_rig.h"
#include "rig_support.h"

namespace orvel::kdetest {
namespace {

using namespace std::chrono_literals;

constexpr int kWidth = 1280;
constexpr int kHeight = 800;

struct Picture {
  int width = 0;
  std::vector<std::uint8_t> bytes;
  const std::uint8_t* at(int x, int y) const {
    return bytes.data() + (static_cast<std::size_t>(y) * width + x) * 4;
  }
};

class KWinScreenshotTest : public ::testing::Test {
 protected:
  // Runs the screenshot program (`program`: another path for it) as KWin's user; its output.
  int shoot(KWinRig& rig, std::vector<std::string> args, std::string& out,
            const std::string& program = ORVEL_KDE_SCREENSHOT) {
    args.insert(args.begin(), program);
    return rig.run(args, &out, 30s);
  }
};

TEST_F(KWinScreenshotTest, TakesOutputsAndAreasOnlyForTheProgramAnEntryNames) {
  KWinOptions options;
  options.entries = {
      {"orvel-kde-screenshot", ORVEL_KDE_SCREENSHOT, {"org.kde.KWin.ScreenShot2"}, {}}};
  START_KWIN(rig, options);
  // A window showing a page of varied pixels, so that the pictures compared below are not flat.
  auto window = rig->spawn({ORVEL_INPUT_COUNTER, "--page", "3"});
  ASSERT_TRUE(window);
  ASSERT_EQ(window->readLine(30s), "ready");

  std::string out;
  ASSERT_EQ(shoot(*rig, {"outputs"}, out), 0) << out;
  std::istringstream lines(out);
  std::vector<std::string> names;
  for (std::string name; lines >> name;) {
    double x, y, w, h;
    lines >> x >> y >> w >> h;
    EXPECT_EQ(x, kWidth * static_cast<double>(names.size())) << out;
    EXPECT_EQ(w, kWidth) << out;
    EXPECT_EQ(h, kHeight) << out;
    names.push_back(name);
  }
  ASSERT_EQ(names.size(), 2u) << out;

  std::vector<Picture> screens;
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string file = rig->runtimeDir() + "/screen" + std::to_string(i);
    ASSERT_EQ(shoot(*rig, {"screen", names[i], file}, out), 0) << out;
    EXPECT_EQ(out, "1280x800 scale 1\n");
    screens.push_back({kWidth, testsupport::readFileBytes(file)});
    ASSERT_EQ(screens.back().bytes.size(), std::size_t{kWidth} * kHeight * 4);
  }

  // An area across the join: its left part is the first output's, its right part the second's.
  constexpr int kAreaWidth = 1380, kAreaHeight = 600;
  const std::string areaFile = rig->runtimeDir() + "/area";
  ASSERT_EQ(shoot(*rig, {"area", "0", "100", "1380", "600", areaFile}, out), 0) << out;
  EXPECT_EQ(out, "1380x600 scale 1\n");
  const Picture area{kAreaWidth, testsupport::readFileBytes(areaFile)};
  ASSERT_EQ(area.bytes.size(), std::size_t{kAreaWidth} * kAreaHeight * 4);
  int differing = 0;
  std::set<std::uint32_t> colours;
  for (int y = 0; y < kAreaHeight; ++y) {
    for (int x = 0; x < kAreaWidth; ++x) {
      const Picture& screen = screens[x < kWidth ? 0 : 1];
      differing += std::memcmp(area.at(x, y), screen.at(x % kWidth, y + 100), 4) != 0;
      std::uint32_t colour;
      std::memcpy(&colour, area.at(x, y), 4);
      colours.insert(colour);
    }
  }
  EXPECT_EQ(differing, 0);
  EXPECT_GT(colours.size(), 100u) << "the window's page is not in the picture";

  EXPECT_NE(shoot(*rig, {"screen", "no-such-output"}, out), 0);
  EXPECT_EQ(out.rfind("error: ", 0), 0u) << out;

  // The same program where no entry names it is refused, told what to install.
  const std::string stranger = rig->copyProgram(ORVEL_KDE_SCREENSHOT, "unnamed-screenshot");
  ASSERT_EQ(shoot(*rig, {"screen", names[0]}, out, stranger), 1) << out;
  EXPECT_EQ(out, "error: KDE Plasma refused screen pictures to " + stranger +
                     ": KWin allows them only to installed programs. Install Orvel's helpers "
                     "(cmake --install or the orvel-helpers package) so that "
                     "share/applications/orvel-unnamed-screenshot.desktop names the installed "
                     "unnamed-screenshot, then run kbuildsycoca5.\n");
}

}  // namespace
}  // namespace orvel::kdetest
