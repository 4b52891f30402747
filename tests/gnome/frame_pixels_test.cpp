// A screen-cast frame's rows as opaque BGRA: the padding byte becomes 255 and the row padding is
// left out, in either byte order, whether pixman copies the rows or they are not aligned for it.
#include "platform/gnome/frame_pixels.h"

#include <gtest/gtest.h>

#include <vector>

namespace orvel::gnome {
namespace {

// 3x2 pixels, rows 16 bytes apart (4 bytes of padding each), starting `shift` bytes into the
// buffer; pixel (x, y) holds bytes (10x+y, 20+x, 30+y, 7) in the frame's order.
std::vector<std::uint8_t> frameBytes(std::size_t shift) {
  std::vector<std::uint8_t> bytes(shift + 32, 0xEE);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      std::uint8_t* p = bytes.data() + shift + y * 16 + x * 4;
      p[0] = std::uint8_t(10 * x + y), p[1] = std::uint8_t(20 + x), p[2] = std::uint8_t(30 + y);
      p[3] = 7;
    }
  return bytes;
}

void expectPixels(const Image& image, bool swapped) {
  ASSERT_EQ(image.width(), 3);
  ASSERT_EQ(image.height(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 3; ++x) {
      const std::uint8_t* p = image.row(y) + x * 4;
      const int first = 10 * x + y, third = 30 + y;
      EXPECT_EQ(p[0], swapped ? third : first) << x << "," << y;
      EXPECT_EQ(p[1], 20 + x) << x << "," << y;
      EXPECT_EQ(p[2], swapped ? first : third) << x << "," << y;
      EXPECT_EQ(p[3], 255) << x << "," << y;
    }
}

TEST(FramePixels, RowsBecomeOpaqueBgraInEitherOrderAlignedOrNot) {
  // A vector's data is aligned for pixman; one byte in is not.
  for (std::size_t shift : {0u, 1u}) {
    const auto bytes = frameBytes(shift);
    SCOPED_TRACE(shift);
    expectPixels(opaqueBgra(bytes.data() + shift, 16, 3, 2, FrameOrder::kBgr), false);
    expectPixels(opaqueBgra(bytes.data() + shift, 16, 3, 2, FrameOrder::kRgb), true);
  }
}

}  // namespace
}  // namespace orvel::gnome
