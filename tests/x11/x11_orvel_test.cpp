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

// orvel started with `arguments` once it has grabbed the pointer, as it does when its overlay is
// up; null when it did not start or never grabbed.
std::unique_ptr<ChildProcess> grabbingOrvel(XvfbRig& rig,
                                            const std::vector<std::string>& arguments) {
  auto orvel = startOrvel(rig, arguments);
  if (!orvel || !waitUntil([&] { return rig.pointerGrabbedElsewhere(); }, 20s)) return nullptr;
  return orvel;
}

// From (x0, y0) to (x1, y1) of a window's content.
struct Drag {
  int x0, y0, x1, y1;
};

// A test window, open, and the root position of its content's top-left corner.
struct OpenWindow {
  std::unique_ptr<TestWindowProcess> process;
  int x = 0, y = 0;
  void drag(XvfbRig& rig, Drag d) const { rig.drag(x + d.x0, y + d.y0, x + d.x1, y + d.y1); }
};

// Null when the window did not open or its content cannot be found.
std::optional<OpenWindow> openWindow(XvfbRig& rig, const XvfbRig::WindowSpec& layout) {
  auto process = rig.openWindow(layout);
  const auto origin = process ? rig.contentOrigin(process->window()) : std::nullopt;
  if (!origin) return std::nullopt;
  return OpenWindow{std::move(process), origin->first, origin->second};
}

// The picture orvel wrote to `path` when run with `arguments` and "-o `path`" through the user's
// `drag` over `window`'s content: it must grab the pointer, end within `limit` with status 0 and
// print `path`. Nothing, the reason reported as a failure, otherwise.
std::optional<region::testing::DecodedPng> pictureAfterDrag(XvfbRig& rig, const OpenWindow& window,
                                                            std::vector<std::string> arguments,
                                                            const std::string& path, Drag drag,
                                                            std::chrono::seconds limit) {
  arguments.insert(arguments.end(), {"-o", path});
  auto orvel = grabbingOrvel(rig, arguments);
  if (!orvel) {
    ADD_FAILURE() << "orvel did not start or never grabbed";
    return std::nullopt;
  }
  window.drag(rig, drag);
  EXPECT_EQ(orvel->wait(limit), 0);
  EXPECT_EQ(orvel->readLine(5s), path);
  return readPng(path);
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
  XvfbRig::WindowSpec layout = XvfbRig::longPage(60, 700, page.rows);
  layout.header = page.header;
  layout.footer = page.footer;
  const auto target = openWindow(*rig, layout);
  ASSERT_TRUE(target);
  TemporaryFolder folder;
  const auto png =
      pictureAfterDrag(*rig, *target, {"scroll"}, folder / "page.png", {50, 10, 450, 690}, 120s);
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
  const auto target = openWindow(*rig, XvfbRig::longPage(60, 600, 20000));
  ASSERT_TRUE(target);
  TemporaryFolder folder;
  auto pageRowsMatch = [&](const std::string& path, int top) {
    const auto png = readPng(path);
    if (!png) return -1;
    return brokenRows(*png, [&](int x, int y) { return patternPixel(x, top + y, 4); });
  };

  auto limited =
      grabbingOrvel(*rig, {"scroll", "-o", folder / "limited.png", "--max-height", "1500"});
  ASSERT_TRUE(limited);
  target->drag(*rig, {0, 0, 500, 600});
  EXPECT_EQ(limited->wait(120s), 0);
  EXPECT_EQ(readPng(folder / "limited.png")->height, 1500);
  EXPECT_EQ(pageRowsMatch(folder / "limited.png", 0), 0);

  // Back to the top of the page, then interrupted once the view has scrolled.
  for (int i = 0; i < 80; ++i) {
    rig->movePointer(target->x + 250, target->y + 300);
    rig->button(4, true);
    rig->button(4, false);
  }
  // The window answers once it has drawn those clicks.
  int clicksBefore = -1;
  ASSERT_TRUE(
      waitUntil([&] { return (clicksBefore = target->process->clicks().second) >= 0; }, 60s));
  auto interrupted = grabbingOrvel(*rig, {"scroll", "-o", folder / "interrupted.png"});
  ASSERT_TRUE(interrupted);
  target->drag(*rig, {0, 0, 500, 600});
  ASSERT_TRUE(waitUntil([&] { return target->process->clicks().second > clicksBefore + 20; }, 60s));
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
  const auto target =
      openWindow(*rig, {.x = 100, .y = 100, .width = 400, .height = 300, .seed = 7});
  ASSERT_TRUE(target);
  TemporaryFolder folder;
  const auto png =
      pictureAfterDrag(*rig, *target, {"region"}, folder / "region.png", {20, 30, 220, 130}, 60s);
  ASSERT_TRUE(png);
  EXPECT_EQ(png->width, 200);
  EXPECT_EQ(png->height, 100);
  EXPECT_EQ(brokenRows(*png, [](int x, int y) { return patternPixel(20 + x, 30 + y, 7); }), 0);

  auto canceled = grabbingOrvel(*rig, {"region", "-o", folder / "canceled.png"});
  ASSERT_TRUE(canceled);
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
  const auto target =
      openWindow(*rig, {.x = 100, .y = 100, .width = 400, .height = 300, .seed = 7});
  ASSERT_TRUE(target);
  TemporaryFolder folder;
  ASSERT_TRUE(std::filesystem::create_directory(folder / "bin"));

  auto toolless = startOrvel(*rig, {"region", "--copy", "-o", folder / "none.png"}, folder / "bin");
  ASSERT_TRUE(toolless);
  EXPECT_EQ(toolless->wait(30s), 1);
  EXPECT_FALSE(std::filesystem::exists(folder / "none.png"));

  ASSERT_TRUE(pictureAfterDrag(*rig, *target, {"region", "--copy"}, folder / "copied.png",
                               {20, 30, 220, 130}, 60s));
  const std::string written = testsupport::readText(folder / "copied.png");
  ASSERT_GT(written.size(), 8u);
  EXPECT_EQ(clipboardPng(*rig), written);

  // A scroll of a view that does not move is its one frame, to standard output and the clipboard.
  auto scroll = grabbingOrvel(*rig, {"scroll", "--copy", "-o", "-"});
  ASSERT_TRUE(scroll);
  target->drag(*rig, {20, 30, 220, 130});
  const auto page = scroll->readToEnd(60s);
  EXPECT_EQ(scroll->wait(60s), 0);
  ASSERT_TRUE(page);
  EXPECT_EQ(page->substr(0, 8), "\x89PNG\r\n\x1a\n");
  EXPECT_EQ(clipboardPng(*rig), page);
}

}  // namespace
}  // namespace orvel::x11test
