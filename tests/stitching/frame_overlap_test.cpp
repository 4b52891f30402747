#include "orvel/stitching/frame_overlap.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "synthetic_pages.h"

namespace orvel::stitching {
namespace {

using namespace testing;

FrameOverlap between(const Image& a, const Image& b, int expected) {
  return measureOverlap(rowHashes(a.view()), rowHashes(b.view()), expected);
}

// Rows `top` to `top + 399` of `page` as a frame, with a 12-row text cursor drawn at `cursorY`.
Image withCursor(const Rows& page, int top, int cursorY) {
  Rows rows(page.begin() + top, page.begin() + top + 400);
  std::fill_n(rows.begin() + cursorY, 12, 0xff000000u);
  return picture(rows);
}

TEST(FrameOverlap, FindsTheShiftOfDistinctRowsWhateverWasAsked) {
  const Rows page = distinctRows(900);
  const Image before = frameAt(page, 100, 300);
  const Image after = frameAt(page, 310, 300);
  for (int asked : {0, 1, 105, 210, 420, 299}) {
    const FrameOverlap o = between(before, after, asked);
    EXPECT_TRUE(o.matched) << asked;
    EXPECT_EQ(o.shift, 210) << asked;
    EXPECT_EQ(o.header, 0) << asked;
    EXPECT_EQ(o.footer, 0) << asked;
  }
}

TEST(FrameOverlap, KeepsAStickyHeaderAndFooterOutOfTheMovingBand) {
  const Rows page = distinctRows(900);
  const Rows header = distinctRows(24, 1), footer = distinctRows(40, 2);
  const FrameOverlap o =
      between(frameAt(page, 0, 250, header, footer), frameAt(page, 180, 250, header, footer), 150);
  EXPECT_TRUE(o.matched);
  EXPECT_EQ(o.header, 24);
  EXPECT_EQ(o.footer, 40);
  EXPECT_EQ(o.shift, 180);
}

TEST(FrameOverlap, SeesNoMoveWhenTheFramesAreAlikeOrDifferByABlinkingCursor) {
  const Rows page = textRows(40);
  const Image frame = frameAt(page, 66, 400);
  EXPECT_EQ(between(frame, frame, 240).shift, 0);

  const FrameOverlap o = between(frame, withCursor(page, 66, 200), 240);
  EXPECT_TRUE(o.matched);
  EXPECT_EQ(o.shift, 0);

  // The cursor blinked while the text moved as well.
  const FrameOverlap m = between(frame, withCursor(page, 300, 50), 240);
  EXPECT_TRUE(m.matched);
  EXPECT_EQ(m.shift, 234);
}

TEST(FrameOverlap, RepetitiveContentTakesTheShiftNearestToTheOneAsked) {
  // Grid lines every 20 rows: moves of 5, 25, 45 and 65 rows all look alike.
  const Rows page = emptyTableRows(30, 1000, 20);
  const Image before = frameAt(page, 100, 300), after = frameAt(page, 145, 300);
  EXPECT_EQ(between(before, after, 45).shift, 45);
  EXPECT_EQ(between(before, after, 40).shift, 45);
  EXPECT_EQ(between(before, after, 60).shift, 65);
  EXPECT_EQ(between(before, after, 0).shift, 5);
}

TEST(FrameOverlap, AJumpPastTheWholeFrameIsReportedUnmatchedWithTheWholeBand) {
  const Rows page = distinctRows(2000);
  const Rows header = distinctRows(10, 1);
  const FrameOverlap o =
      between(frameAt(page, 0, 300, header), frameAt(page, 900, 300, header), 200);
  EXPECT_FALSE(o.matched);
  EXPECT_EQ(o.header, 10);
  EXPECT_EQ(o.shift, 300);
}

}  // namespace
}  // namespace orvel::stitching
