// Two region-capture helpers on one compositor: while the first one's overlay holds the keyboard,
// the second is refused as on X11 (someone else holds the input) instead of freezing pictures that
// hold the first one's dimming; the first captures on undisturbed, and once it is done the second
// captures the screen as it is.
#include <gtest/gtest.h>

#include <filesystem>

#include "messages.h"
#include "region_helper_desk.h"
#include "temp_folder.h"
#include "test_pattern_png.h"

namespace orvel::waylandtest {
namespace {

using namespace std::chrono_literals;
using region::testing::TempFolder;

constexpr const char* kRegion = "100,120 200x150";

// Once the overlay shows the frozen screen: the drag over the region gives grim's pixels.
void dragGivesTruth(Desk& desk, ChildProcess& helper, std::int64_t id, const std::string& path,
                    const RgbaPicture& truth, TempFolder& folder) {
  ASSERT_TRUE(desk.overlayUp());
  ASSERT_TRUE(overlayShows(desk.rig, kRegion, truth, folder));
  desk.pointer->drag(100, 120, 300, 270);
  const Json region = {{"x", 100}, {"y", 120}, {"width", 200}, {"height", 150}};
  ASSERT_EQ(reply(helper), (Json{{"id", id}, {"ok", true}, {"region", region}}));
  auto png = readRgbaPng(path);
  ASSERT_TRUE(png);
  EXPECT_EQ(differingPixels(*png, truth), 0) << "of " << truth.width * truth.height << " pixels";
}

TEST(WaylandRegionRivals, ASecondHelperIsRefusedWhileTheFirstHoldsTheInput) {
  SwayOptions options;
  options.outputs = {{800, 600, 0, 0, 1, "#204060"}};
  START_SWAY(rig, options);
  ASSERT_TRUE(
      rig->setBackground(rig->outputNames()[0], rig->writeFile("bg.png", patternPng(640, 400, 3))));
  Desk desk(*rig, 800, 600);
  ASSERT_TRUE(desk.start());
  ASSERT_TRUE(desk.shrinkCounter(700, 500));
  // The pointer (the headless output draws it into the pictures) stays clear of the region.
  desk.pointer->moveTo(600, 400);
  TempFolder folder;
  auto truth = settledTruth(*rig, kRegion, folder);
  ASSERT_TRUE(truth);

  auto first = desk.helper();
  send(*first, R"({"command":"prepare","id":1})");
  ASSERT_TRUE(desk.overlayUp());
  auto second = desk.helper();
  prepareAndCapture(*second, 2, folder.file("second.png"));
  EXPECT_EQ(reply(*second), failed(2, region::kInputUnavailable));
  EXPECT_FALSE(std::filesystem::exists(folder.file("second.png")));

  send(*first, R"({"command":"capture","id":1,"path":")" + folder.file("first.png") + "\"}");
  dragGivesTruth(desk, *first, 1, folder.file("first.png"), *truth, folder);
  ASSERT_TRUE(desk.overlayGone());

  desk.pointer->moveTo(600, 400);
  prepareAndCapture(*second, 3, folder.file("later.png"));
  dragGivesTruth(desk, *second, 3, folder.file("later.png"), *truth, folder);
  ASSERT_TRUE(desk.overlayGone());
  EXPECT_EQ(desk.counter->counts(), (Counts{0, 0, 1}));
}

}  // namespace
}  // namespace orvel::waylandtest
