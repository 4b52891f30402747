// region-capture-helper on turned and flipped outputs (one at scale 1, one at scale 2, both given
// the same transform in turn): the frozen overlay shows each output upright, and each region's PNG
// equals grim's picture of it, pixel for pixel.
#include <gtest/gtest.h>

#include "region_helper_desk.h"
#include "temp_folder.h"
#include "test_pattern_png.h"

namespace orvel::waylandtest {
namespace {

using namespace std::chrono_literals;
using region::testing::TempFolder;

struct Area {
  int x, y, width, height;
  std::string geometry() const {
    return std::to_string(x) + "," + std::to_string(y) + " " + std::to_string(width) + "x" +
           std::to_string(height);
  }
};

TEST(WaylandRegionRotation, TurnedAndFlippedOutputsGiveGrimsPixels) {
  SwayOptions options;
  options.outputs = {{800, 600, 0, 0, 1, "#204060"}, {1280, 720, 800, 0, 2, "#602040"}};
  START_SWAY(rig, options);
  const auto& names = rig->outputNames();
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string file = rig->writeFile("bg" + std::to_string(i) + ".png",
                                            patternPng(640, 400, static_cast<int>(i) + 1));
    ASSERT_TRUE(rig->setBackground(names[i], file));
  }
  Desk desk(*rig, 1440, 600);
  ASSERT_TRUE(desk.start());
  ASSERT_TRUE(desk.shrinkCounter(0, 0));
  TempFolder folder;
  auto helper = desk.helper();
  int id = 0;
  for (const std::string transform : {"90", "180", "270", "flipped", "flipped-90"}) {
    SCOPED_TRACE("transform " + transform);
    const bool turned = transform == "90" || transform == "270" || transform == "flipped-90";
    const int aWidth = turned ? 600 : 800, aHeight = turned ? 800 : 600;
    const int bWidth = turned ? 360 : 640, bHeight = turned ? 640 : 360;
    ASSERT_TRUE(rig->setTransform(names[0], transform));
    ASSERT_TRUE(rig->setTransform(names[1], transform));
    ASSERT_TRUE(rig->swaymsg({"output", names[1], "position", std::to_string(aWidth), "0"}));
    ASSERT_TRUE(waitUntil([&] {
      auto list = rig->outputsJson();
      return list && list->size() == 2 && (*list)[1]["rect"]["x"] == aWidth &&
             (*list)[0]["rect"]["width"] == aWidth;
    }));
    desk.pointer->setExtent(aWidth + bWidth, std::max(aHeight, bHeight));
    // One region inside each output, clear of the instruction near each panel's top-left corner.
    for (const Area area : {Area{100, 150, 300, 300}, Area{aWidth + 40, 100, 260, 240}}) {
      SCOPED_TRACE("region " + area.geometry());
      auto truth = settledTruth(*rig, area.geometry(), folder);
      ASSERT_TRUE(truth);
      const std::string path = folder.file("region" + std::to_string(++id) + ".png");
      prepareAndCapture(*helper, id, path);
      ASSERT_TRUE(desk.overlayUp());
      EXPECT_TRUE(overlayShows(*rig, area.geometry(), *truth, folder));
      desk.pointer->drag(area.x, area.y, area.x + area.width, area.y + area.height);
      const Json region = {
          {"x", area.x}, {"y", area.y}, {"width", area.width}, {"height", area.height}};
      ASSERT_EQ(reply(*helper), (Json{{"id", id}, {"ok", true}, {"region", region}}));
      auto png = readRgbaPng(path);
      ASSERT_TRUE(png);
      EXPECT_EQ(differingPixels(*png, *truth), 0)
          << "of " << long(truth->width) * truth->height << " pixels";
      ASSERT_TRUE(desk.overlayGone());
    }
  }
  send(*helper, R"({"command":"quit"})");
  EXPECT_EQ(helper->wait(5s), 0);
}

}  // namespace
}  // namespace orvel::waylandtest
