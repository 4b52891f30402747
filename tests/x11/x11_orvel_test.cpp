// `orvel region` and `orvel scroll` end to end on an Xvfb desktop: the helpers run as orvel starts
// them, the user's drag and keys come through XTest, and the pictures written are checked pixel
// for pixel against the pattern the test window shows (a scrolling page in its own right).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "platform/x11/x11_key_state.h"
#include "png_file.h"
#include "test_pattern.h"
#include "xvfb_rig.h"

namespace orvel::x11test {
namespace {

using namespace std::chrono_literals;
using region::testing::readPng;
using region::testing::rgbaOf;

class TemporaryFolder {
 public:
  TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvel-test-XXXXXX").string();
    path_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
  }
  ~TemporaryFolder() { std::filesystem::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// orvel on the rig's display; `path`, when given, is its $PATH.
std::unique_ptr<ChildProcess> startOrvel(XvfbRig& rig, const std::vector<std::string>& arguments,
                                         const std::string& path = {}) {
  std::vector<std::string> argv = {ORVEL_COMMAND};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  ChildProcess::Options o;
  o.environment = {{"DISPLAY", rig.display()},
                   {"ORVEL_SCROLL_HELPER", ORVEL_SCROLL_HELPER},
                   {"ORVEL_REGION_HELPER", ORVEL_REGION_HELPER}};
  if (!path.empty()) o.environment["PATH"] = path;
  o.pipeStdin = false;
  return ChildProcess::start(argv, o);
}

// The rig's clipboard as a PNG, read back through xclip.
std::optional<std::string> clipboardPng(XvfbRig& rig) {
  ChildProcess::Options o;
  o.environment = {{"DISPLAY", rig.display()}};
  o.pipeStdin = false;
  auto xclip =
      ChildProcess::start({"xclip", "-o", "-selection", "clipboard", "-t", "image/png"}, o);
  if (!xclip) return std::nullopt;
  auto bytes = xclip->readToEnd(20s);
  if (xclip->wait(10s) != 0) return std::nullopt;
  return bytes;
}

// Rows of `png` that differ from what `expected(x, y)` gives (a BGRA pattern word).
template <class Expected>
int brokenRows(const region::testing::DecodedPng& png, Expected expected) {
  int broken = 0;
  for (int y = 0; y < png.height; ++y) {
    for (int x = 0; x < png.width; ++x) {
      if (png.at(x, y) != rgbaOf(expected(x, y))) {
        ++broken;
        break;
      }
    }
  }
  return broken;
}

struct Page {
  int rows, header, footer;
};

class OrvelScroll : public ::testing::TestWithParam<Page> {};

// A window of 500x700 showing `rows` page rows 40 a wheel click; the drag covers window rows 10 to
// 689 and columns 50 to 449, so a header or footer of more than 10 rows is partly in the region.
TEST_P(OrvelScroll, WritesThePageRowForRowWithFixedBandsOnce) {
  const Page page = GetParam();
  START_RIG(rig, RigOptions{});
  auto target = rig->openWindow({.title = "Long page",
                                 .x = 100,
                                 .y = 60,
                                 .width = 500,
                                 .height = 700,
                                 .seed = 4,
                                 .page = page.rows,
                                 .click = 40,
                                 .header = page.header,
                                 .footer = page.footer});
  ASSERT_TRUE(target);
  const auto origin = rig->contentOrigin(target->window());
  ASSERT_TRUE(origin);
  TemporaryFolder folder;
  auto orvel = startOrvel(*rig, {"scroll", "-o", folder / "page.png"});
  ASSERT_TRUE(orvel);
  ASSERT_TRUE(waitUntil([&] { return rig->pointerGrabbedElsewhere(); }, 20s));
  rig->drag(origin->first + 50, origin->second + 10, origin->first + 450, origin->second + 690);
  EXPECT_EQ(orvel->wait(120s), 0);
  EXPECT_EQ(orvel->readLine(5s), folder / "page.png");

  const auto png = readPng(folder / "page.png");
  ASSERT_TRUE(png);
  const int headerRows = std::max(0, page.header - 10);
  const int footerRows = std::max(0, 690 - (700 - page.footer));
  // Without bands the region starts 10 rows into the page and ends 10 rows before its end.
  const int firstPageRow = page.header >= 10 ? 0 : 10 - page.header;
  const int lastPageRow = page.footer >= 10 ? page.rows - 1 : page.rows - 1 - (10 - page.footer);
  EXPECT_EQ(png->width, 400);
  EXPECT_EQ(png->height, headerRows + (lastPageRow - firstPageRow + 1) + footerRows);
  const int moving = lastPageRow - firstPageRow + 1;
  EXPECT_EQ(brokenRows(*png,
                       [&](int x, int y) {
                         if (y < headerRows) return patternPixel(50 + x, 10 + y, 5);
                         if (y < headerRows + moving)
                           return patternPixel(50 + x, firstPageRow + y - headerRows, 4);
                         return patternPixel(50 + x, 700 - page.footer + (y - headerRows - moving),
                                             6);
                       }),
            0);
}

INSTANTIATE_TEST_SUITE_P(Pages, OrvelScroll,
                         ::testing::Values(Page{2600, 0, 0}, Page{2300, 30, 50}));

TEST(OrvelScrollStops, AtTheHeightLimitAndOnAnInterruptKeepingThePage) {
  START_RIG(rig, RigOptions{});
  auto target = rig->openWindow({.title = "Long page",
                                 .x = 100,
                                 .y = 60,
                                 .width = 500,
                                 .height = 600,
                                 .seed = 4,
                                 .page = 20000,
                                 .click = 40});
  ASSERT_TRUE(target);
  const auto origin = rig->contentOrigin(target->window());
  ASSERT_TRUE(origin);
  TemporaryFolder folder;
  auto pageRowsMatch = [&](const std::string& path, int top) {
    const auto png = readPng(path);
    if (!png) return -1;
    return brokenRows(*png, [&](int x, int y) { return patternPixel(x, top + y, 4); });
  };

  auto limited = startOrvel(*rig, {"scroll", "-o", folder / "limited.png", "--max-height", "1500"});
  ASSERT_TRUE(limited);
  ASSERT_TRUE(waitUntil([&] { return rig->pointerGrabbedElsewhere(); }, 20s));
  rig->drag(origin->first, origin->second, origin->first + 500, origin->second + 600);
  EXPECT_EQ(limited->wait(120s), 0);
  EXPECT_EQ(readPng(folder / "limited.png")->height, 1500);
  EXPECT_EQ(pageRowsMatch(folder / "limited.png", 0), 0);

  // Back to the top of the page, then interrupted once the view has scrolled.
  for (int i = 0; i < 80; ++i) {
    rig->movePointer(origin->first + 250, origin->second + 300);
    rig->button(4, true);
    rig->button(4, false);
  }
  // The window answers once it has drawn those clicks.
  int clicksBefore = -1;
  ASSERT_TRUE(waitUntil([&] { return (clicksBefore = target->clicks().second) >= 0; }, 60s));
  auto interrupted = startOrvel(*rig, {"scroll", "-o", folder / "interrupted.png"});
  ASSERT_TRUE(interrupted);
  ASSERT_TRUE(waitUntil([&] { return rig->pointerGrabbedElsewhere(); }, 20s));
  rig->drag(origin->first, origin->second, origin->first + 500, origin->second + 600);
  ASSERT_TRUE(waitUntil([&] { return target->clicks().second > clicksBefore + 20; }, 60s));
  ::kill(interrupted->pid(), SIGINT);
  EXPECT_EQ(interrupted->wait(60s), 0);
  const auto png = readPng(folder / "interrupted.png");
  ASSERT_TRUE(png);
  EXPECT_GT(png->height, 600);
  EXPECT_LT(png->height, 20000);
  EXPECT_EQ(pageRowsMatch(folder / "interrupted.png", 0), 0);
}

TEST(OrvelRegion, WritesTheDraggedRegionAndEscapeCancels) {
  START_RIG(rig, RigOptions{});
  auto target = rig->openWindow({.x = 100, .y = 100, .width = 400, .height = 300, .seed = 7});
  ASSERT_TRUE(target);
  const auto origin = rig->contentOrigin(target->window());
  ASSERT_TRUE(origin);
  TemporaryFolder folder;
  auto orvel = startOrvel(*rig, {"region", "-o", folder / "region.png"});
  ASSERT_TRUE(orvel);
  ASSERT_TRUE(waitUntil([&] { return rig->pointerGrabbedElsewhere(); }, 20s));
  rig->drag(origin->first + 20, origin->second + 30, origin->first + 220, origin->second + 130);
  EXPECT_EQ(orvel->wait(60s), 0);
  EXPECT_EQ(orvel->readLine(5s), folder / "region.png");
  const auto png = readPng(folder / "region.png");
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, 200);
  EXPECT_EQ(png->height, 100);
  EXPECT_EQ(brokenRows(*png, [](int x, int y) { return patternPixel(20 + x, 30 + y, 7); }), 0);

  auto canceled = startOrvel(*rig, {"region", "-o", folder / "canceled.png"});
  ASSERT_TRUE(canceled);
  ASSERT_TRUE(waitUntil([&] { return rig->pointerGrabbedElsewhere(); }, 20s));
  rig->key(x11::kEscapeKeysym, true);
  rig->key(x11::kEscapeKeysym, false);
  EXPECT_EQ(canceled->wait(60s), 1);
  EXPECT_FALSE(std::filesystem::exists(folder / "canceled.png"));
}

// --copy puts the PNG written on the clipboard as image/png (xclip on X11); without a clipboard
// tool orvel says so and ends before capturing anything.
TEST(OrvelRegion, CopyPutsThePictureOnTheClipboardOrEndsFirst) {
  std::string whyNoTool;
  if (testsupport::lacksPrograms({"xclip"}, whyNoTool)) GTEST_SKIP() << whyNoTool;
  START_RIG(rig, RigOptions{});
  auto target = rig->openWindow({.x = 100, .y = 100, .width = 400, .height = 300, .seed = 7});
  ASSERT_TRUE(target);
  const auto origin = rig->contentOrigin(target->window());
  ASSERT_TRUE(origin);
  TemporaryFolder folder;
  ASSERT_TRUE(std::filesystem::create_directory(folder / "bin"));

  auto toolless = startOrvel(*rig, {"region", "--copy", "-o", folder / "none.png"}, folder / "bin");
  ASSERT_TRUE(toolless);
  EXPECT_EQ(toolless->wait(30s), 1);
  EXPECT_FALSE(std::filesystem::exists(folder / "none.png"));

  auto orvel = startOrvel(*rig, {"region", "--copy", "-o", folder / "copied.png"});
  ASSERT_TRUE(orvel);
  ASSERT_TRUE(waitUntil([&] { return rig->pointerGrabbedElsewhere(); }, 20s));
  rig->drag(origin->first + 20, origin->second + 30, origin->first + 220, origin->second + 130);
  EXPECT_EQ(orvel->wait(60s), 0);
  EXPECT_EQ(orvel->readLine(5s), folder / "copied.png");
  const std::string written = testsupport::readText(folder / "copied.png");
  ASSERT_GT(written.size(), 8u);
  EXPECT_EQ(clipboardPng(*rig), written);

  // A scroll of a view that does not move is its one frame, to standard output and the clipboard.
  auto scroll = startOrvel(*rig, {"scroll", "--copy", "-o", "-"});
  ASSERT_TRUE(scroll);
  ASSERT_TRUE(waitUntil([&] { return rig->pointerGrabbedElsewhere(); }, 20s));
  rig->drag(origin->first + 20, origin->second + 30, origin->first + 220, origin->second + 130);
  const auto page = scroll->readToEnd(60s);
  EXPECT_EQ(scroll->wait(60s), 0);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(clipboardPng(*rig), page);
}

}  // namespace
}  // namespace orvel::x11test
