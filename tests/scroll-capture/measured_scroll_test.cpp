#include "measured_scroll.h"

#include <gtest/gtest.h>

namespace orvel::scroll {
namespace {

// Clicks a view that moves `click` pixels a click (`limit` pixels in all) until the rule stops.
int scrolled(int asked, int regionHeight, int click, int limit = 1 << 30) {
  MeasuredScroll plan(asked, regionHeight);
  int moved = 0;
  while (plan.wantsAnotherClick()) {
    const int step = std::min(click, limit - moved);
    moved += step;
    plan.record(step);
  }
  EXPECT_EQ(plan.moved(), moved);
  return moved;
}

TEST(MeasuredScroll, StopsAtTheClickNearestToTheAskedDistance) {
  EXPECT_EQ(scrolled(442, 680, 90), 450);  // a GTK3 text view
  EXPECT_EQ(scrolled(442, 680, 40), 440);  // 40 px a click
  EXPECT_EQ(scrolled(442, 680, 65), 455);  // xterm, 5 lines of 13 px
  EXPECT_EQ(scrolled(300, 680, 1), 300);
  EXPECT_EQ(scrolled(100, 680, 60), 120);  // 120 is as near as 60 and gets there
}

TEST(MeasuredScroll, NeverMovesMoreThanTheRegionLessOneClick) {
  EXPECT_EQ(scrolled(544, 680, 300), 300);  // a second click could skip rows between frames
  EXPECT_EQ(scrolled(544, 680, 250), 250);
  EXPECT_EQ(scrolled(544, 680, 200), 400);
}

TEST(MeasuredScroll, AViewThatStopsMovingEndsTheScroll) {
  EXPECT_EQ(scrolled(442, 680, 90, 130), 130);
  EXPECT_EQ(scrolled(442, 680, 90, 0), 0);
}

}  // namespace
}  // namespace orvel::scroll
