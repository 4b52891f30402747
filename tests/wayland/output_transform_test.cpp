// Pictures of rotated and flipped outputs turned upright. Each case gives the output's picture as
// the protocol describes it (the upright content flipped, then turned counter-clockwise) and
// expects the upright content back.
#include <gtest/gtest.h>
#include <wayland-client-protocol.h>

#include <string>
#include <vector>

#include "platform/wayland/output_transform.h"

namespace orvel::wayland {
namespace {

// A picture whose pixels are letters, rows of equal length, one letter per pixel.
Image letters(const std::vector<std::string>& rows) {
  Image out(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
  for (int y = 0; y < out.height(); ++y) {
    for (int x = 0; x < out.width(); ++x)
      std::fill_n(out.row(y) + x * 4, 4, static_cast<std::uint8_t>(rows[y][x]));
  }
  return out;
}

std::vector<std::string> lettersOf(const Image& picture) {
  std::vector<std::string> rows;
  for (int y = 0; y < picture.height(); ++y) {
    std::string row;
    for (int x = 0; x < picture.width(); ++x)
      row += static_cast<char>(picture.row(y)[x * 4]);
    rows.push_back(row);
  }
  return rows;
}

TEST(OutputTransformTest, EveryTransformTurnsThePictureUpright) {
  const std::vector<std::string> upright = {"abc", "def"};
  const struct {
    std::int32_t transform;
    std::vector<std::string> scanned;
  } cases[] = {
      {WL_OUTPUT_TRANSFORM_NORMAL, {"abc", "def"}},
      {WL_OUTPUT_TRANSFORM_90, {"cf", "be", "ad"}},
      {WL_OUTPUT_TRANSFORM_180, {"fed", "cba"}},
      {WL_OUTPUT_TRANSFORM_270, {"da", "eb", "fc"}},
      {WL_OUTPUT_TRANSFORM_FLIPPED, {"cba", "fed"}},
      {WL_OUTPUT_TRANSFORM_FLIPPED_90, {"ad", "be", "cf"}},
      {WL_OUTPUT_TRANSFORM_FLIPPED_180, {"def", "abc"}},
      {WL_OUTPUT_TRANSFORM_FLIPPED_270, {"fc", "eb", "da"}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(lettersOf(uprightPicture(letters(c.scanned), c.transform)), upright)
        << "transform " << c.transform;
    EXPECT_EQ(swapsSides(c.transform), c.scanned.size() == 3) << "transform " << c.transform;
  }
}

TEST(OutputTransformTest, UnknownTransformsAndEmptyPicturesStayAsTheyAre) {
  EXPECT_EQ(lettersOf(uprightPicture(letters({"ab"}), 8)), (std::vector<std::string>{"ab"}));
  EXPECT_EQ(lettersOf(uprightPicture(letters({"ab"}), -1)), (std::vector<std::string>{"ab"}));
  EXPECT_TRUE(uprightPicture(Image(), WL_OUTPUT_TRANSFORM_90).empty());
}

}  // namespace
}  // namespace orvel::wayland
