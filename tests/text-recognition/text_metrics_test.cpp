#include "text_metrics.h"

#include <gtest/gtest.h>

namespace orvel::ocr::testing {
namespace {

TEST(TextMetricsTest, LineFidelityCountsWholeLinesInOrder) {
  const std::string page = "Section 1\n2. capture window scroll\n3. region display frame\nEnd";
  EXPECT_EQ(lineFidelity(page, page), 1.0);
  // Split, merged or missing lines count as lost.
  EXPECT_EQ(
      lineFidelity(page, "Section 1\n2.\ncapture window scroll\n3. region display frame\nEnd"),
      0.75);
  EXPECT_EQ(lineFidelity(page, "Section 1 2. capture window scroll\n3. region display frame"),
            0.25);
  // Out of order: only the longest run in order counts.
  EXPECT_EQ(lineFidelity(page, "3. region display frame\nSection 1\n2. capture window scroll\nEnd"),
            0.75);
  // Up to 5% character errors within a line, runs of blanks as one.
  EXPECT_EQ(lineFidelity("2. capture window scroll", "2.  capture wind0w scroll "), 1.0);
  EXPECT_EQ(lineFidelity("2. capture window scroll", "2. capturo wind0w scroll"), 0.0);
  EXPECT_EQ(lineFidelity("", "anything"), 1.0);
}

TEST(TextMetricsTest, LinesOfOneRowMayComeInAnyOrder) {
  const std::vector<std::vector<std::string>> rows = {{"General", "Display name", "Alex Morgan"},
                                                      {"Network", "Time zone"}};
  EXPECT_EQ(lineFidelity(rows, "Alex Morgan\nGeneral\nDisplay name\nTime zone\nNetwork"), 1.0);
  // Across rows the order holds.
  EXPECT_EQ(lineFidelity(rows, "Time zone\nGeneral\nDisplay name\nAlex Morgan\nNetwork"), 0.8);
}

TEST(TextMetricsTest, BoundedEditDistanceStopsPastItsLimit) {
  EXPECT_EQ(boundedEditDistance("kitten", "sitting", 3), 3u);
  EXPECT_EQ(boundedEditDistance("kitten", "sitting", 2), 3u);
  EXPECT_EQ(boundedEditDistance("", "abc", 5), 3u);
  EXPECT_EQ(boundedEditDistance("abcdef", "a", 2), 3u);
  EXPECT_EQ(boundedEditDistance("same", "same", 0), 0u);
}

}  // namespace
}  // namespace orvel::ocr::testing
