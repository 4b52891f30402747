// `orvel scroll` and `orvel region` end to end on a headless sway whose pointer behaves as sway's
// defaults have it (focus follows it, its image is drawn into the pictures and never hides), the
// user's drag and keys coming from a virtual pointer and keyboards: the scrolled page (a test
// pattern window) row for row, Escape's exit status, an interrupt that keeps the page, plain less
// in foot scrolled by the wheel and stitched row for row against less's own pages, and the region
// of foot showing less pixel for pixel against grim's picture.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <string>
#include <vector>

#include "region_helper_desk.h"
#include "test_pattern.h"
#include "virtual_keyboard.h"

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

// A headless sway showing foot with plain less over a numbered document, a virtual pointer, a held
// keyboard with a whole keymap (foot turns the wheel into its arrow keys for less), and orvel on
// it.
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
    keyboard_ = VirtualKeyboard::open(rig_->waylandDisplay());
    foot_ = startProcess({"foot", "--app-id", "orvel-document", "less", file}, rig_->environment(),
                         false);
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
  // Drags over the region once the overlay is up (the corner no longer `before`), and again, three
  // times at most, while the overlay stays up: a freshly mapped overlay on a loaded machine may
  // miss a press.
  bool dragOverOverlay(const RgbaPicture& before) {
    if (!overlayUp(before)) return false;
    for (int attempt = 0; attempt < 3; ++attempt) {
      const auto dimmed = settled(*rig_, "0,0 64x64", folder_,
                                  [&](const RgbaPicture& now) { return now.rgba != before.rgba; });
      if (!dimmed) return false;
      pointer_->drag(kLeft, kTop, kRight, kBottom);
      const bool taken = waitUntil(
          [&] {
            auto now = grim(*rig_, "0,0 64x64", folder_.file("corner.png"));
            return now && now->rgba != dimmed->rgba;
          },
          15s);
      if (taken) return true;
      std::fprintf(stderr, "the overlay stayed up after the drag: dragging again\n");
    }
    return false;
  }

  std::string whyNot_;
  std::unique_ptr<SwayRig> rig_;
  std::unique_ptr<ChildProcess> foot_;
  std::unique_ptr<VirtualKeyboard> keyboard_;
  std::unique_ptr<VirtualPointer> pointer_;
  TempFolder folder_;
};

#define START_ORVEL_ON_SWAY(lines) \
  if (!start(lines))               \
  GTEST_SKIP() << "Wayland test skipped: " << (rig_ ? "foot or a virtual keyboard" : whyNot_)

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
  // Rows of the page written that are not the pattern from the region's top-left corner on, the
  // page scrolled by `offset` when the capture began.
  auto brokenRows = [&](const RgbaPicture& png, int offset = 0) {
    int broken = 0;
    for (int y = 0; y < png.height; ++y)
      for (int x = 0; x < png.width; ++x) {
        const std::uint32_t bgra = x11test::patternPixel(kLeft + x, kTop + offset + y, 6);
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

  // Ctrl-C once the page has scrolled a few steps (it never ends): the page so far is written and
  // the exit status says a picture was made.
  ASSERT_TRUE(waitUntil([&] { return page.focused(); }));
  const auto start = page.pageOffset();
  ASSERT_TRUE(start);
  auto interrupted = run({"scroll", "-o", folder.file("interrupted.png")});
  ASSERT_TRUE(interrupted);
  ASSERT_TRUE(waitUntil([&] { return !page.focused(); }, 20s));
  pointer->drag(kLeft, kTop, kRight, kBottom);
  ASSERT_TRUE(
      waitUntil([&] { return page.pageOffset().value_or(0) > *start + 2 * kRegionHeight; }, 60s));
  ::kill(interrupted->pid(), SIGINT);
  EXPECT_EQ(interrupted->wait(60s), 0);
  const auto kept = readRgbaPng(folder.file("interrupted.png"));
  ASSERT_TRUE(kept);
  EXPECT_GT(kept->height, 2 * kRegionHeight);
  EXPECT_EQ(brokenRows(*kept, *start), 0);
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
  ASSERT_TRUE(dragOverOverlay(*before));
  EXPECT_EQ(region->wait(60s), 0);
  EXPECT_EQ(region->readLine(5s), folder_.file("region.png"));
  const auto png = readRgbaPng(folder_.file("region.png"));
  ASSERT_TRUE(png);
  EXPECT_EQ(png->rgba, still->rgba);
}

// Whether `count` rows of `a` from `ay` equal those of `b` from `by` (pictures of one width).
bool sameRows(const RgbaPicture& a, int ay, const RgbaPicture& b, int by, int count) {
  if (a.width != b.width || ay < 0 || by < 0 || ay + count > a.height || by + count > b.height)
    return false;
  return std::equal(a.at(0, ay), a.at(0, ay) + std::size_t(count) * a.width * 4, b.at(0, by));
}

// Plain less in foot (no mouse mode): foot turns the helper's wheel steps into arrow keys, which
// scroll whole lines. The page orvel writes must be less's own screens, row for row: each screen
// that less shows when told to put line L at the top ("Lg") stands at (L - 1) line heights in the
// page, and the screen left when orvel found the end of the document is the page's bottom.
TEST_F(OrvelOnSway, ScrollsPlainLessInFootAndThePageIsLessScreensRowForRow) {
  constexpr int kLines = 120;
  START_ORVEL_ON_SWAY(kLines);
  const auto before = corner();
  ASSERT_TRUE(before);
  auto scroll = orvel({"scroll", "-o", folder_.file("page.png")});
  ASSERT_TRUE(scroll);
  ASSERT_TRUE(dragOverOverlay(*before));
  ASSERT_EQ(scroll->wait(120s), 0);
  const auto page = readRgbaPng(folder_.file("page.png"));
  ASSERT_TRUE(page);
  ASSERT_EQ(page->width, kRight - kLeft);
  ASSERT_GT(page->height, 2 * kRegionHeight) << "less did not scroll";

  // less at the end of the document, the pointer off the region.
  pointer_->moveTo(kWidth - 1, kHeight - 1);
  const auto last = settled(*rig_, kGeometry, folder_, [](const RgbaPicture&) { return true; });
  ASSERT_TRUE(last);
  EXPECT_TRUE(sameRows(*page, page->height - kRegionHeight, *last, 0, kRegionHeight));

  // less's screen with line `line` at the top, once it differs from `previous`.
  auto screenAt = [&](int line, const RgbaPicture& previous) {
    keyboard_->type(std::to_string(line) + "g");
    return settled(*rig_, kGeometry, folder_,
                   [&](const RgbaPicture& now) { return now.rgba != previous.rgba; });
  };
  const auto top = screenAt(1, *last);
  ASSERT_TRUE(top);
  const auto second = screenAt(2, *top);
  ASSERT_TRUE(second);
  // One line's height: how far the second screen's rows stand above the first's.
  int lineHeight = 0;
  for (int d = 1; d < kRegionHeight / 2 && lineHeight == 0; ++d)
    if (sameRows(*second, 0, *top, d, kRegionHeight - d)) lineHeight = d;
  ASSERT_GT(lineHeight, 0);
  EXPECT_TRUE(sameRows(*page, 0, *top, 0, kRegionHeight));
  // Screens that overlap one another, up to the bottom of the page.
  const int step = kRegionHeight / lineHeight - 1;
  RgbaPicture previous = *top;
  for (int line = 1 + step; (line - 1) * lineHeight <= page->height - kRegionHeight; line += step) {
    const auto screen = screenAt(line, previous);
    ASSERT_TRUE(screen);
    EXPECT_TRUE(sameRows(*page, (line - 1) * lineHeight, *screen, 0, kRegionHeight))
        << "the page's rows from line " << line;
    previous = *screen;
  }
}

}  // namespace
}  // namespace orvel::waylandtest
