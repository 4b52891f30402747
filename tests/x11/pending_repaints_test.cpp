// What windows owe after a redirect, and how their drawing pays it off. No server needed.
#include "platform/x11/pending_repaints.h"

#include <gtest/gtest.h>

namespace orvel::x11 {
namespace {

TEST(PendingRepaints, OwedPartsArePaidOffOnlyByDrawingThatCoversThem) {
  PendingRepaints pending;
  EXPECT_TRUE(pending.empty());
  pending.owe(7, {{10, 10, 100, 50}, {0, 0, 0, 40}});
  EXPECT_TRUE(pending.owes(7, {0, 0, 200, 200}));
  EXPECT_TRUE(pending.owes(7, {109, 59, 1, 1})) << "the last owed pixel";
  EXPECT_FALSE(pending.owes(7, {110, 10, 10, 10})) << "just right of it";
  EXPECT_FALSE(pending.owes(7, {0, 0, 0, 0}));
  EXPECT_FALSE(pending.owes(8, {0, 0, 200, 200})) << "another window";

  // Drawing elsewhere, or for another window, pays nothing.
  pending.repainted(7, {200, 200, 50, 50});
  pending.repainted(8, {10, 10, 100, 50});
  EXPECT_TRUE(pending.owes(7, {10, 10, 100, 50}));
  // Half of it; then the rest, in two strips.
  pending.repainted(7, {0, 0, 60, 100});
  EXPECT_FALSE(pending.owes(7, {10, 10, 50, 50}));
  EXPECT_TRUE(pending.owes(7, {60, 10, 50, 50}));
  EXPECT_EQ(pending.owedWithin(7, {0, 0, 100, 20}), (std::vector<PixelRect>{{60, 10, 40, 10}}));
  EXPECT_TRUE(pending.owedWithin(7, {0, 0, 60, 200}).empty());
  pending.repainted(7, {60, 10, 50, 25});
  EXPECT_TRUE(pending.owes(7, {0, 0, 200, 200}));
  pending.repainted(7, {60, 35, 50, 25});
  EXPECT_FALSE(pending.owes(7, {0, 0, 200, 200}));
  EXPECT_TRUE(pending.empty());

  pending.owe(9, {{0, 0, 5, 5}});
  pending.clear();
  EXPECT_FALSE(pending.owes(9, {0, 0, 5, 5}));
}

TEST(HiddenParts, AreWhatWindowsStackedAboveCoverInTheWindowsOwnPixels) {
  // Bottom to top: a wide window, one over its right half (with a border of 2), one apart.
  const std::vector<StackedWindow> stack = {
      {1, {100, 100, 400, 300}, 0}, {2, {300, 150, 300, 100}, 2}, {3, {1000, 0, 50, 50}, 0}};
  const auto hidden = hiddenParts(stack);
  ASSERT_EQ(hidden.size(), 1u) << "only the bottom window is covered";
  ASSERT_EQ(hidden.at(1).size(), 1u);
  EXPECT_EQ(hidden.at(1)[0], (PixelRect{200, 50, 200, 100}));

  // A bordered window under another counts from inside its border.
  const auto bordered = hiddenParts({{4, {0, 0, 104, 104}, 2}, {5, {50, 50, 100, 100}, 0}});
  ASSERT_EQ(bordered.count(4), 1u);
  EXPECT_EQ(bordered.at(4)[0], (PixelRect{48, 48, 54, 54}));
  EXPECT_TRUE(hiddenParts({}).empty());
}

}  // namespace
}  // namespace orvel::x11
