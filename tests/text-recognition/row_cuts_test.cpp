#include "row_cuts.h"

#include <gtest/gtest.h>

#include "engine_count.h"
#include "otsu_threshold.h"

namespace orvel::ocr {
namespace {

// Rows of `width` pixels: white, or with `dark` black pixels where a text row is.
struct Rows {
  int width = 100;
  std::vector<Histogram> rows;

  Rows& blank(int count) { return add(count, 0, 0); }
  Rows& text(int count, int dark = 10, int grey = 0) { return add(count, dark, grey); }
  Rows& add(int count, int dark, int grey) {
    for (int i = 0; i < count; ++i) {
      Histogram row{};
      row[static_cast<std::size_t>(grey)] = dark;
      row[255] = width - dark;
      rows.push_back(row);
    }
    return *this;
  }
};

TEST(OtsuThresholdTest, SplitsTheTwoGreysOfAPageAndKnowsWhichIsText) {
  Histogram page{};
  page[20] = 10;    // text
  page[250] = 990;  // paper
  const Binarization text = binarizationOf(page);
  EXPECT_EQ(text.threshold, 20);  // the first of the equally good thresholds
  EXPECT_EQ(text.hiValue, 1);     // the light side, above the threshold, is background

  Histogram inverted{};
  inverted[20] = 990;
  inverted[250] = 10;
  EXPECT_EQ(binarizationOf(inverted).hiValue, 0);

  Histogram half{};
  half[100] = 500;
  half[200] = 500;
  EXPECT_EQ(binarizationOf(half), (Binarization{100, 0}));

  Histogram flat{};
  flat[128] = 1000;
  EXPECT_EQ(binarizationOf(flat), (Binarization{-1, 1}));
  EXPECT_EQ(binarizationOf(Histogram{}), (Binarization{-1, 1}));

  // Antialiased greys: with little text the threshold moves up among them.
  Histogram sparse{};
  sparse[0] = 10;
  sparse[160] = 30;
  sparse[220] = 30;
  sparse[255] = 1000;
  Histogram dense = sparse;
  dense[0] = 100;
  EXPECT_EQ(binarizationOf(sparse), (Binarization{160, 1}));
  EXPECT_EQ(binarizationOf(dense), (Binarization{0, 1}));
}

TEST(RowCutsTest, CutsInTheMiddleOfWideBlankRunsNearEqualShares) {
  EXPECT_TRUE(cutIntoParts({}, 4).empty());

  // Two blocks of text 300 rows tall with a 40-row gap: one cut, in its middle.
  Rows two;
  two.blank(10).text(300).blank(40).text(300).blank(10);
  EXPECT_EQ(cutIntoParts(two.rows, 2), (std::vector<RowSpan>{{0, 330}, {330, 660}}));
  EXPECT_EQ(cutIntoParts(two.rows, 1), (std::vector<RowSpan>{{0, 660}}));
  // More parts asked for than cuts allow.
  EXPECT_EQ(cutIntoParts(two.rows, 8).size(), 2u);

  // Four blocks: the cuts nearest a third and two thirds of the text.
  Rows four;
  four.text(300).blank(20).text(300).blank(20).text(300).blank(20).text(300);
  const auto three = cutIntoParts(four.rows, 3);
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(three[0], (RowSpan{0, 310}));
  EXPECT_EQ(three[1].start, 310);
  EXPECT_EQ(three[2].end, 1260);

  // A wide run wins over a narrow one nearer the middle.
  Rows mixed;
  mixed.text(300).blank(kWideCutGap).text(290).blank(kMinCutGap).text(300);
  EXPECT_EQ(cutIntoParts(mixed.rows, 2)[0], (RowSpan{0, 300 + kWideCutGap / 2}));
}

TEST(RowCutsTest, NoCutWhereTextCrossesOrAPartWouldBeSmallOrThresholdedApart) {
  // Gaps narrower than kMinCutGap, and blank runs at the edges, never cut; a narrow run that is
  // wide enough is cut where there is no wide one.
  Rows narrow;
  narrow.blank(100).text(300).blank(kMinCutGap - 1).text(300).blank(100);
  EXPECT_EQ(cutIntoParts(narrow.rows, 2).size(), 1u);
  Rows dense;
  dense.text(300).blank(kMinCutGap).text(300);
  EXPECT_EQ(cutIntoParts(dense.rows, 2), (std::vector<RowSpan>{{0, 303}, {303, 606}}));

  // Light greys (dividers, borders) are blank; placeholder greys are text.
  Rows light;
  light.text(300).text(kMinCutGap, 100, kTextBelow).text(300);
  EXPECT_EQ(cutIntoParts(light.rows, 2).size(), 2u);
  Rows placeholder;
  placeholder.text(300).text(kMinCutGap, 100, kTextBelow - 1).text(300);
  EXPECT_EQ(cutIntoParts(placeholder.rows, 2).size(), 1u);

  // A part of fewer than kMinPartRows rows is not cut off.
  Rows small;
  small.text(kMinPartRows - 20).blank(20).text(600);
  EXPECT_EQ(cutIntoParts(small.rows, 2).size(), 1u);

  // Antialiased greys only in the lower half: the halves would be thresholded differently.
  Rows shaded;
  shaded.text(300, 10, 0).blank(40);
  for (int i = 0; i < 300; ++i) {
    Histogram row{};
    row[0] = 10;
    row[120] = 30;
    row[255] = 60;
    shaded.rows.push_back(row);
  }
  EXPECT_EQ(cutIntoParts(shaded.rows, 2).size(), 1u);
}

TEST(EngineCountTest, TakesTheSettingOrOneACore) {
  EXPECT_EQ(engineCount(nullptr, 8), 8);
  EXPECT_EQ(engineCount(nullptr, 0), 1);
  EXPECT_EQ(engineCount(nullptr, 1000), kDefaultMaxEngines);
  EXPECT_EQ(engineCount("1", 8), 1);
  EXPECT_EQ(engineCount("3", 2), 3);
  EXPECT_EQ(engineCount("64", 2), kMaxEngines);
  for (const char* ignored : {"", "0", "-2", "two", "2x", " 2", "65", "99999999999"})
    EXPECT_EQ(engineCount(ignored, 4), 4) << ignored;
}

}  // namespace
}  // namespace orvel::ocr
