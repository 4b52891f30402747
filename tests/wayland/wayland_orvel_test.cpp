// `orvel scroll` and `orvel region` end to end on a headless sway whose pointer behaves as sway's
// defaults have it (focus follows it, its image is drawn into the pictures and never hides), the
// user's drag and keys coming from a virtual pointer and keyboard: the scrolled page (a test
// pattern window) row for row, Escape's exit status, and the region of foot showing less over a
// numbered document pixel for pixel against grim's picture.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "region_helper_desk.h"
#include "test_pattern.h"

namespace orvel::waylandtest {
namespace {

using namespace std::chrono_literals;
using region::testing::TempFolder;

constexpr int kWidth = 960, kHeight = 600;
// The dragged region: inside foot's text, clear of less's prompt line at the bottom.
constexpr int kLeft = 16, kTop = 8, kRight = 700, kBottom = 500;
constexpr int kRegionHeight = kBottom - kTop;
const std::string kGeometry = std::to_string(kLeft) + "," + std::to_string(kTop) + " " +
                              std::to_string(kRight - kLeft) + "x" + std::to_string(kRegionHeight);

std::string numberedDocument(int lines) {
  static const char* const kWords[] = {"scroll", "page", "frame", "stitch", "row", "view",
                                       "less",   "foot", "sway",  "pixel",  "seam"};
  std::string text;
  for (int i = 1; i <= lines; ++i) {
    char number[16];
    std::snprintf(number, sizeof number, "%05d", i);
    text += std::string(number) + " " + kWords[i % 11] + " " + kWords[(i / 11) % 11] + " " +
            std::string(static_cast<std::size_t>(i % 37), '=') + "|\n";
  }
  return text;
}

// grim's picture of `geometry` once two in a row are alike and `accept` takes it.
std::optional<RgbaPicture> settled(SwayRig& rig, const std::string& geometry, TempFolder& folder,
                                   const std::function<bool(const RgbaPicture&)>& accept) {
  std::optional<RgbaPicture> last, found;
  waitUntil(
      [&] {
        auto now = grim(rig, geometry, folder.file("look.png"));
        if (now && last && now->rgba == last->rgba && !uniform(*now) && accept(*now)) found = now;
        last = std::move(now);
        return found.has_value();
      },
      20s);
  return found;
}

// A headless sway showing foot with less over a numbered document, a virtual pointer, a held
// keyboard, and orvel on it.
class OrvelOnSway : public ::testing::Test {
 protected:
  bool start(int lines) {
    SwayOptions options;
    options.outputs = {{kWidth, kHeight, 0, 0, 1, "#000000"}};
    options.defaultPointer = true;
    rig_ = SwayRig::start(options, whyNot_);
    if (!rig_) return false;
    const std::string text = numberedDocument(lines);
    const std::string file = rig_->writeFile("document.txt", {text.begin(), text.end()});
    foot_ = startProcess({"foot", "--app-id", "orvel-document", "less", file}, rig_->environment(),
                         false);
    keyboard_ = startProcess({"wtype", "-s", "600000"}, rig_->environment(), false);
    pointer_ = VirtualPointer::open(rig_->waylandDisplay(), kWidth, kHeight);
    return foot_ && keyboard_ && pointer_;
  }
  std::unique_ptr<ChildProcess> orvel(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {ORVEL_COMMAND};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto env = rig_->environment();
    env["ORVEL_SCROLL_HELPER"] = ORVEL_SCROLL_HELPER;
    env["ORVEL_REGION_HELPER"] = ORVEL_REGION_HELPER;
    ChildProcess::Options o;
    o.environment = env;
    o.pipeStdin = false;
    return ChildProcess::start(argv, o);
  }
  // The screen dimmed by an overlay: the top-left corner no longer what it was.
  bool overlayUp(const RgbaPicture& corner) {
    return waitUntil(
        [&] {
          auto now = grim(*rig_, "0,0 64x64", folder_.file("corner.png"));
          return now && now->rgba != corner.rgba;
        },
        20s);
  }
  std::optional<RgbaPicture> corner() {
    return settled(*rig_, "0,0 64x64", folder_, [](const RgbaPicture&) { return true; });
  }

  std::string whyNot_;
  std::unique_ptr<SwayRig> rig_;
  std::unique_ptr<ChildProcess> foot_, keyboard_;
  std::unique_ptr<VirtualPointer> pointer_;
  TempFolder folder_;
};

#define START_ORVEL_ON_SWAY(lines) \
  if (!start(lines)) GTEST_SKIP() << "Wayland test skipped: " << (rig_ ? "foot or wtype" : whyNot_)

// A page window of the rig's own (a long test pattern that scrolls by the wheel's pixels) fills
// the output; orvel scrolls it to the height limit. The pointer is left where the drag let go, so
// the page is right only if the helper keeps the drawn pointer out of the frames.
TEST(OrvelScrollOnSway, ThePageIsRightRowForRowThoughSwayDrawsThePointer) {
  SwayOptions options;
  options.outputs = {{kWidth, kHeight, 0, 0, 1, "#000000"}};
  options.defaultPointer = true;
  START_SWAY(rig, options);
  auto keyboard = startProcess({"wtype", "-s", "600000"}, rig->environment(), false);
  auto pointer = VirtualPointer::open(rig->waylandDisplay(), kWidth, kHeight);
  InputCounter page(*rig, 1, 6);
  ASSERT_TRUE(keyboard && pointer && page.ready());
  ASSERT_TRUE(waitUntil([&] { return page.focused(); }));
  TempFolder folder;
  auto run = [&](const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {ORVEL_COMMAND};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    auto env = rig->environment();
    env["ORVEL_SCROLL_HELPER"] = ORVEL_SCROLL_HELPER;
    ChildProcess::Options o;
    o.environment = env;
    o.pipeStdin = false;
    return ChildProcess::start(argv, o);
  };
  // Rows of the page written that are not the pattern from the region's top-left corner on.
  auto brokenRows = [&](const RgbaPicture& png) {
    int broken = 0;
    for (int y = 0; y < png.height; ++y)
      for (int x = 0; x < png.width; ++x) {
        const std::uint32_t bgra = x11test::patternPixel(kLeft + x, kTop + y, 6);
        const std::uint8_t* p = png.at(x, y);
        if (p[0] != ((bgra >> 16) & 0xff) || p[1] != ((bgra >> 8) & 0xff) ||
            p[2] != (bgra & 0xff)) {
          ++broken;
          break;
        }
      }
    return broken;
  };

  // Escape while selecting cancels: exit status 1, no picture.
  auto canceled = run({"scroll", "-o", folder.file("canceled.png")});
  ASSERT_TRUE(canceled);
  ASSERT_TRUE(waitUntil([&] { return !page.focused(); }, 20s));
  ASSERT_EQ(rig->run({"wtype", "-k", "Escape"}), 0);
  EXPECT_EQ(canceled->wait(30s), 1);
  EXPECT_FALSE(std::filesystem::exists(folder.file("canceled.png")));
  ASSERT_TRUE(waitUntil([&] { return page.focused(); }));

  auto limited = run({"scroll", "-o", folder.file("page.png"), "--max-height", "1500"});
  ASSERT_TRUE(limited);
  ASSERT_TRUE(waitUntil([&] { return !page.focused(); }, 20s));
  pointer->drag(kLeft, kTop, kRight, kBottom);
  EXPECT_EQ(limited->wait(120s), 0);
  EXPECT_EQ(limited->readLine(5s), folder.file("page.png"));
  const auto png = readRgbaPng(folder.file("page.png"));
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, kRight - kLeft);
  EXPECT_EQ(png->height, 1500);
  EXPECT_EQ(brokenRows(*png), 0);
}

TEST_F(OrvelOnSway, RegionWritesTheDraggedRectangle) {
  START_ORVEL_ON_SWAY(150);
  const auto truth = settled(*rig_, kGeometry, folder_, [](const RgbaPicture&) { return true; });
  const auto before = corner();
  ASSERT_TRUE(truth && before);
  // The pointer away from the region, as the frozen screen shows it.
  pointer_->moveTo(kWidth - 1, kHeight - 1);
  const auto still = settled(*rig_, kGeometry, folder_, [](const RgbaPicture&) { return true; });
  ASSERT_TRUE(still);
  auto region = orvel({"region", "-o", folder_.file("region.png")});
  ASSERT_TRUE(region);
  ASSERT_TRUE(overlayUp(*before));
  pointer_->drag(kLeft, kTop, kRight, kBottom);
  EXPECT_EQ(region->wait(60s), 0);
  EXPECT_EQ(region->readLine(5s), folder_.file("region.png"));
  const auto png = readRgbaPng(folder_.file("region.png"));
  ASSERT_TRUE(png);
  EXPECT_EQ(png->rgba, still->rgba);
}

}  // namespace
}  // namespace orvel::waylandtest
