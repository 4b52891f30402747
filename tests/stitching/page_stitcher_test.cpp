#include "orvel/stitching/page_stitcher.h"

#include <gtest/gtest.h>

#include "synthetic_pages.h"

namespace orvel::stitching {
namespace {

using namespace testing;

struct Scroll {
  int moved;  // rows the view really moved (less at the end of the page)
  int asked;  // rows it was asked to move
};

// Scrolls through `page` with a view of `visible` rows and stitches what it shows.
Rows stitch(const Rows& page, int visible, const std::vector<Scroll>& scrolls,
            const Rows& header = {}, const Rows& footer = {}) {
  int top = 0;
  PageStitcher stitcher(frameAt(page, top, visible, header, footer).view());
  for (const Scroll& s : scrolls) {
    top = std::min(top + s.moved, static_cast<int>(page.size()) - visible);
    const FrameOverlap o =
        stitcher.add(frameAt(page, top, visible, header, footer).view(), s.asked);
    EXPECT_TRUE(o.matched);
  }
  return rowsOf(stitcher.view());
}

Rows joined(const Rows& header, const Rows& page, const Rows& footer) {
  Rows all = header;
  all.insert(all.end(), page.begin(), page.end());
  all.insert(all.end(), footer.begin(), footer.end());
  return all;
}

TEST(PageStitcher, EveryRowOfADistinctPageOnceInOrderWhateverTheViewMoved) {
  const Rows page = distinctRows(1500);
  // Moves that differ from what was asked, as wheel clicks make them, and a short last one.
  const Rows stitched = stitch(page, 320,
                               {{250, 190},
                                {90, 190},
                                {300, 190},
                                {180, 240},
                                {256, 256},
                                {256, 256},
                                {256, 256},
                                {256, 256}});
  EXPECT_EQ(stitched, page);
}

TEST(PageStitcher, LinesOfTextWithBlankRowsBetweenThem) {
  const Rows page = textRows(90);  // 1980 rows
  const Rows stitched = stitch(page, 400,
                               {{264, 240},
                                {198, 240},
                                {300, 240},
                                {311, 240},
                                {240, 240},
                                {240, 240},
                                {240, 240},
                                {240, 240}});
  EXPECT_EQ(stitched, page);
}

TEST(PageStitcher, AStickyHeaderAndFooterAppearOnceAtTheEnds) {
  const Rows page = textRows(50);
  const Rows header = distinctRows(30, 1), footer = distinctRows(44, 2);
  const Rows stitched =
      stitch(page, 300, {{200, 180}, {200, 180}, {200, 180}, {200, 180}, {200, 180}, {200, 180}},
             header, footer);
  EXPECT_EQ(stitched, joined(header, page, footer));
}

TEST(PageStitcher, AnEmptyTableStitchedByTheDistanceAsked) {
  // The last move is a whole step too: one that falls short at the end of a table could be told
  // from a longer one by nothing but the distance asked, which it does not match.
  const Rows page = emptyTableRows(40, 300 + 6 * 210 - 40, 24);
  const Rows stitched =
      stitch(page, 300, {{210, 210}, {210, 210}, {210, 210}, {210, 210}, {210, 210}, {210, 210}});
  EXPECT_EQ(stitched, page);
}

TEST(PageStitcher, FramesThatDidNotMoveAddNothingAndOtherSizesAreRefused) {
  const Rows page = distinctRows(600);
  PageStitcher stitcher(frameAt(page, 0, 200).view());
  EXPECT_EQ(stitcher.add(frameAt(page, 0, 200).view(), 100).shift, 0);
  EXPECT_EQ(stitcher.height(), 200);
  EXPECT_FALSE(stitcher.add(frameAt(page, 100, 150).view(), 100).matched);
  EXPECT_EQ(stitcher.height(), 200);
  EXPECT_EQ(stitcher.add(frameAt(page, 120, 200).view(), 100).shift, 120);
  EXPECT_EQ(stitcher.frames(), 3);
  const Image image = stitcher.image();
  EXPECT_EQ(rowsOf(image.view()), Rows(page.begin(), page.begin() + 320));
}

}  // namespace
}  // namespace orvel::stitching
