#include "text_piece.h"

#include <gtest/gtest.h>

namespace orvel::ocr {
namespace {

// A piece of a 15-pixel line whose baseline lies 12 rows below its top.
TextPiece piece(int x, int width, int top, const std::string& text, double slope = 0) {
  return {{x, top, width, 15}, top + 12.0, slope, text};
}

std::vector<std::string> texts(const std::vector<TextPiece>& lines) {
  std::vector<std::string> out;
  for (const TextPiece& line : lines)
    out.push_back(line.text);
  return out;
}

TEST(TextPieceTest, JoinsPiecesOnOneBaselineAcrossWordGaps) {
  // A list number apart from its text, and a word beyond a gap of one line height; given right to
  // left, as the engine may.
  const auto lines =
      joinIntoLines({piece(200, 40, 100, "file"), piece(60, 125, 101, "capture window"),
                     piece(24, 30, 100, "12.")});
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text, "12. capture window file");
  EXPECT_EQ(lines[0].box, (platform::PixelRect{24, 100, 216, 16}));

  // A sloping baseline is followed across the pieces.
  const auto sloped =
      joinIntoLines({piece(0, 100, 100, "rising", -0.1), piece(110, 100, 89, "line", -0.1),
                     piece(220, 100, 78, "continues", -0.1)});
  EXPECT_EQ(texts(sloped), (std::vector<std::string>{"rising line continues"}));
}

TEST(TextPieceTest, KeepsColumnsAndOtherRowsApart) {
  // A label two line heights from its value, a sidebar entry beside a page, a line just below and
  // a piece that overlaps the one before it stay lines of their own, in recognition order.
  const auto lines =
      joinIntoLines({piece(300, 90, 100, "Display name"), piece(420, 90, 100, "Alex Morgan"),
                     piece(18, 80, 104, "General"), piece(24, 200, 118, "next row"),
                     piece(380, 60, 100, "overlap")});
  EXPECT_EQ(texts(lines), (std::vector<std::string>{"Display name", "Alex Morgan", "General",
                                                    "next row", "overlap"}));
}

TEST(TextPieceTest, JoinsEachPieceToTheNearestLineItContinues) {
  // Two overlapping lines end within reach of the piece: the nearer one takes it.
  const auto lines = joinIntoLines(
      {piece(0, 100, 100, "far"), piece(60, 50, 100, "near"), piece(115, 50, 100, "end")});
  EXPECT_EQ(texts(lines), (std::vector<std::string>{"far", "near end"}));
  EXPECT_TRUE(joinIntoLines({}).empty());
}

}  // namespace
}  // namespace orvel::ocr
