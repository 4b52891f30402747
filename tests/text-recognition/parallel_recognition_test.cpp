// Recognition in parts on several engines, against the scripted recognizer: the same text as one
// engine reading each band whole, from parts that cover every band.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "band.h"
#include "fake_recognizer.h"
#include "row_cuts.h"
#include "text_recognition_helper.h"

namespace orvel::ocr {
namespace {

using testing::FakeRecognizer;

RunResult recognize(FakeRecognizer& fake, int width, int height, int engines) {
  fake.languages = std::vector<std::string>{"en-US"};
  fake.images["page.png"] = {width, height};
  return TextRecognitionHelper(fake, engines).run({"helper", "recognize", "page.png", "en-US"});
}

// A line every 40 rows, two side by side on some rows, and lines on the band edges.
std::vector<testing::PlacedLine> page(int height) {
  std::vector<testing::PlacedLine> lines;
  for (int row = 25; row < height; row += 40) {
    lines.push_back({double(row), 0.1, "line " + std::to_string(row)});
    if (row % 200 == 25) lines.push_back({double(row), 0.6, "beside " + std::to_string(row)});
  }
  for (const double edge : {2399.5, 2400.0, 4799.0})
    lines.push_back({edge, 0.3, "edge " + std::to_string(edge)});
  return lines;
}

TEST(ParallelRecognitionTest, GivesTheOneEngineTextFromPartsCoveringEveryBand) {
  FakeRecognizer one;
  one.lines = page(7000);
  const RunResult whole = recognize(one, 800, 7000, 1);
  ASSERT_EQ(whole.exitStatus, kExitSuccess);
  EXPECT_TRUE(one.parts().empty());
  EXPECT_EQ(one.engineCount, 0);

  for (const int engines : {2, 3, 8}) {
    FakeRecognizer fake;
    fake.lines = page(7000);
    const RunResult parts = recognize(fake, 800, 7000, engines);
    ASSERT_EQ(parts.exitStatus, kExitSuccess) << engines;
    EXPECT_EQ(parts.output.text, whole.output.text) << engines;
    EXPECT_EQ(fake.engineCount, engines);
    EXPECT_TRUE(fake.recognized.empty()) << "no band is read whole";

    // Every band prepared once, in order, and its parts cover it edge to edge.
    const std::vector<Band> bands = bandsFor(800, 7000);
    ASSERT_EQ(fake.prepared.size(), bands.size());
    std::map<int, std::vector<platform::PixelRect>> byBand;
    for (const testing::PartCall& call : fake.parts()) {
      EXPECT_GE(call.engine, 0);
      EXPECT_LT(call.engine, engines);
      const auto band = std::find_if(bands.begin(), bands.end(), [&](const Band& b) {
        return b.rect.y <= call.rect.y &&
               call.rect.y + call.rect.height <= b.rect.y + b.rect.height;
      });
      ASSERT_NE(band, bands.end());
      byBand[band->rect.y].push_back(call.rect);
    }
    for (const Band& band : bands) {
      EXPECT_EQ(fake.prepared[&band - bands.data()], band.rect);
      auto& rects = byBand[band.rect.y];
      ASSERT_FALSE(rects.empty());
      EXPECT_LE(rects.size(), static_cast<std::size_t>(engines));
      std::sort(rects.begin(), rects.end(), [](auto& a, auto& b) { return a.y < b.y; });
      int next = band.rect.y;
      for (const platform::PixelRect& rect : rects) {
        EXPECT_EQ(rect.y, next);
        EXPECT_EQ(rect.width, 800);
        EXPECT_GE(rect.height, std::min(kMinPartRows, band.rect.height));
        next = rect.y + rect.height;
      }
      EXPECT_EQ(next, band.rect.y + band.rect.height);
    }
    if (engines == 2) {
      EXPECT_GT(fake.parts().size(), bands.size()) << "bands are cut";
    }
  }
}

TEST(ParallelRecognitionTest, RunsNoMoreEnginesThanThereAreParts) {
  FakeRecognizer fake;
  fake.lines = {{100, 0.1, "only"}, {150, 0.1, "lines"}};
  const RunResult result = recognize(fake, 400, 300, 8);
  EXPECT_EQ(result.output.text, "only\nlines");
  EXPECT_EQ(fake.engineCount, 1);
  ASSERT_EQ(fake.parts().size(), 1u);
  EXPECT_EQ(fake.parts()[0].engine, 0);

  FakeRecognizer empty;
  EXPECT_EQ(recognize(empty, 400, 0, 8).output.text, "");
  EXPECT_EQ(empty.engineCount, 0);
  EXPECT_TRUE(empty.parts().empty());
}

TEST(ParallelRecognitionTest, AFailedPartFailsTheImageAndAnUnreadableBandIsSkipped) {
  FakeRecognizer failing;
  failing.lines = page(7000);
  failing.failingPartTops = {4672};  // the third band's first part
  const RunResult failed = recognize(failing, 800, 7000, 2);
  EXPECT_EQ(failed.exitStatus, kExitFailure);
  EXPECT_EQ(failed.output.error, "part failed");
  EXPECT_FALSE(failed.output.text);

  FakeRecognizer skipping;
  skipping.lines = {{100, 0.1, "first"}, {3000, 0.1, "second"}, {5000, 0.1, "third"}};
  skipping.uncroppableTops = {2272};
  const RunResult skipped = recognize(skipping, 800, 7000, 2);
  EXPECT_EQ(skipped.exitStatus, kExitSuccess);
  EXPECT_EQ(skipped.output.text, "first\nthird");
}

}  // namespace
}  // namespace orvel::ocr
