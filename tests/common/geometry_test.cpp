#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "orvel/common/geometry.h"

namespace orvel {
namespace {

TEST(Geometry, ContainmentIncludesEdgesForRectsButNotTheFarEdgeForPoints) {
  const Rect frame{0, 0, 100, 50};
  EXPECT_TRUE(frame.contains(Rect{0, 0, 100, 50}));
  EXPECT_TRUE(frame.contains(Rect{10, 10, 90, 40}));
  EXPECT_FALSE(frame.contains(Rect{10, 10, 90.5, 40}));
  EXPECT_FALSE(frame.contains(Rect::null()));
  EXPECT_TRUE(frame.contains(Point{0, 0}));
  EXPECT_TRUE(frame.contains(Point{99.999, 49.999}));
  EXPECT_FALSE(frame.contains(Point{100, 10}));
  EXPECT_FALSE(frame.contains(Point{10, 50}));
  // Negative sizes are read as their standardized rectangle.
  EXPECT_TRUE((Rect{100, 50, -100, -50}).contains(Point{0, 0}));
}

TEST(Geometry, TouchingRectanglesDoNotIntersectButMeetOnAZeroWidthEdge) {
  const Rect a{0, 0, 10, 10};
  const Rect b{10, 0, 10, 10};
  EXPECT_FALSE(a.intersects(b));
  const Rect edge = a.intersection(b);
  EXPECT_FALSE(edge.isNull());
  EXPECT_EQ(edge, (Rect{10, 0, 0, 10}));
  EXPECT_TRUE(edge.isEmpty());
  EXPECT_TRUE(a.intersection(Rect{11, 0, 5, 5}).isNull());
  EXPECT_FALSE(a.intersects(Rect{11, 0, 5, 5}));
  EXPECT_TRUE(a.intersects(Rect{9.5, 9.5, 5, 5}));
  EXPECT_EQ(a.intersection(Rect{9.5, 9.5, 5, 5}), (Rect{9.5, 9.5, 0.5, 0.5}));
  EXPECT_TRUE(a.intersection(Rect::null()).isNull());
  EXPECT_FALSE(Rect::null().intersects(a));
}

TEST(Geometry, IntegralInsetUnionAndExactEquality) {
  EXPECT_EQ((Rect{10.5, 20.5, 99.7, 200.4}).integral(), (Rect{10, 20, 101, 201}));
  EXPECT_EQ((Rect{-0.5, -1.5, 1, 1}).integral(), (Rect{-1, -2, 2, 2}));
  EXPECT_EQ((Rect{10, 10, 20, 20}).insetBy(-16, -16), (Rect{-6, -6, 52, 52}));
  EXPECT_TRUE((Rect{10, 10, 20, 20}).insetBy(11, 0).isNull());
  EXPECT_EQ((Rect{0, 0, 1, 1}).unionWith(Rect{5, 5, 1, 1}), (Rect{0, 0, 6, 6}));
  EXPECT_EQ(Rect::null().unionWith(Rect{5, 5, 1, 1}), (Rect{5, 5, 1, 1}));
  EXPECT_FALSE((Rect{0, 0, 10, 10}) == (Rect{0.0001, 0, 10, 10}));
  EXPECT_TRUE((Rect{10, 10, -10, -10}) == (Rect{0, 0, 10, 10}));
  EXPECT_TRUE(Rect::null() == Rect::null());
  EXPECT_FALSE((Rect{0, std::nan(""), 1, 1}).isFinite());
  EXPECT_EQ(Rect::fromPoints({5, 1}, {2, 7}), (Rect{2, 1, 3, 6}));
}

TEST(Geometry, DoublesPrintInShortestRoundTripFormWithAFraction) {
  EXPECT_EQ(formatDouble(3), "3.0");
  EXPECT_EQ(formatDouble(12.5), "12.5");
  EXPECT_EQ(formatDouble(-0.25), "-0.25");
  EXPECT_EQ(formatDouble(0.1), "0.1");
  EXPECT_EQ(formatDouble(1.0 / 3), "0.3333333333333333");
  EXPECT_EQ(formatDouble(1e21), "1e+21");
  EXPECT_EQ(formatDouble(std::numeric_limits<double>::infinity()), "inf");
}

}  // namespace
}  // namespace orvel
