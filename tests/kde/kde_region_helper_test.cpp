// region-capture-helper on a headless KWin, run as the host runs it: installed into a temporary
// prefix whose desktop entry authorises it, a drag across the join of both outputs gives the
// pixels KWin's screenshot service shows there; run from the build tree, which no entry names, it
// answers "capture" with what to install.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kwin_rig.h"
#include "orvel/common/json_text.h"
#include "rgba_png.h"
#include "sway_rig.h"

namespace orvel::kdetest {
namespace {

using namespace std::chrono_literals;
using waylandtest::readRgbaPng;
using waylandtest::waitUntil;

namespace fs = std::filesystem;

// The project installed into a folder of its own, readable by KWin's user.
class Installed {
 public:
  Installed() {
    char pattern[] = "/tmp/orvel-kde-prefix-XXXXXX";
    if (::mkdtemp(pattern)) prefix_ = pattern;
    ::chmod(prefix_.c_str(), 0755);
  }
  ~Installed() {
    std::error_code ignored;
    if (!prefix_.empty()) fs::remove_all(prefix_, ignored);
  }
  bool install(std::string& log) {
    ChildProcess::Options o;
    o.pipeStdin = false;
    auto child =
        ChildProcess::start({"cmake", "--install", ORVEL_BUILD_DIR, "--prefix", prefix_}, o);
    if (!child) return false;
    while (auto line = child->readLine(120s))
      log += *line + "\n";
    return child->wait(120s) == 0;
  }
  const std::string& prefix() const { return prefix_; }

 private:
  std::string prefix_;
};

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

Json replyOf(ChildProcess& helper) {
  const auto line = helper.readLine(30s);
  return line ? parseJson(*line).value_or(Json()) : Json();
}

class KdeRegionHelperTest : public ::testing::Test {
 protected:
  // The screenshot program's raw picture of an area; empty when it fails.
  std::vector<std::uint8_t> area(KWinRig& rig, int x, int y, int w, int h) {
    const std::string file = rig.runtimeDir() + "/truth";
    std::string out;
    if (rig.run({ORVEL_KDE_SCREENSHOT, "area", std::to_string(x), std::to_string(y),
                 std::to_string(w), std::to_string(h), file},
                &out, 30s) != 0) {
      return {};
    }
    return readBytes(file);
  }
};

TEST_F(KdeRegionHelperTest, InstalledHelperCapturesADragAcrossOutputsAsKWinShowsIt) {
  Installed installed;
  std::string log;
  ASSERT_TRUE(installed.install(log)) << log;
  const std::string helperPath = installed.prefix() + "/bin/region-capture-helper";
  KWinOptions options;
  options.dataDirs = {installed.prefix() + "/share"};
  options.entries = {
      {"orvel-kde-hand", ORVEL_KDE_HAND, {}, {"org_kde_kwin_fake_input"}},
      {"orvel-kde-screenshot", ORVEL_KDE_SCREENSHOT, {"org.kde.KWin.ScreenShot2"}, {}}};
  START_KWIN(rig, options);
  auto window = rig->spawn({ORVEL_INPUT_COUNTER, "--page", "5"});
  ASSERT_TRUE(window);
  ASSERT_EQ(window->readLine(30s), "ready");
  auto hand = rig->spawn({ORVEL_KDE_HAND});
  ASSERT_TRUE(hand);
  ASSERT_EQ(hand->readLine(30s), "ready");

  // The region straddles the join of the two outputs (x 1280); the truth is KWin's own picture
  // of it once two in a row agree.
  const int x0 = 1180, y0 = 60, x1 = 1380, y1 = 160;
  std::vector<std::uint8_t> truth;
  ASSERT_TRUE(waitUntil(
      [&] {
        auto a = area(*rig, x0, y0, x1 - x0, y1 - y0);
        truth = area(*rig, x0, y0, x1 - x0, y1 - y0);
        return !truth.empty() && a == truth;
      },
      30s));

  // Chosen without being named: KWin lacks screencopy and answers for its screenshot service.
  auto helper = rig->spawn({helperPath});
  ASSERT_TRUE(helper);
  const std::string path = rig->runtimeDir() + "/region.png";
  helper->write(R"({"command":"prepare","id":7})"
                "\n"
                R"({"command":"capture","id":7,"path":")" +
                path + "\"}\n");
  // The overlay is up once the screen under the region shows dimmed.
  ASSERT_TRUE(waitUntil([&] { return area(*rig, x0, y0, x1 - x0, y1 - y0) != truth; }, 30s))
      << helper->readLine(1s).value_or("no reply");
  for (const std::string& command :
       {"move " + std::to_string(x0) + " " + std::to_string(y0), std::string("button down"),
        std::string("move 1280 110"), "move " + std::to_string(x1) + " " + std::to_string(y1),
        std::string("button up")}) {
    ASSERT_TRUE(hand->write(command + "\n"));
    ASSERT_EQ(hand->readLine(10s), "ok") << command;
  }
  const Json answer = replyOf(*helper);
  const Json region = {{"x", x0}, {"y", y0}, {"width", x1 - x0}, {"height", y1 - y0}};
  ASSERT_EQ(answer, (Json{{"id", 7}, {"ok", true}, {"region", region}})) << answer.dump();
  auto png = readRgbaPng(path);
  ASSERT_TRUE(png);
  ASSERT_EQ(png->width, x1 - x0);
  ASSERT_EQ(png->height, y1 - y0);
  long differing = 0;
  for (int y = 0; y < png->height; ++y) {
    for (int x = 0; x < png->width; ++x) {
      const std::uint8_t* t = truth.data() + (static_cast<std::size_t>(y) * png->width + x) * 4;
      const std::uint8_t* p = png->at(x, y);
      differing += p[0] != t[2] || p[1] != t[1] || p[2] != t[0] || p[3] != t[3];
    }
  }
  EXPECT_EQ(differing, 0);
  helper->write("{\"command\":\"quit\"}\n");
  EXPECT_EQ(helper->wait(10s), 0);
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
