// KWin's pictures in its three QImage formats become premultiplied BGRA; short or unknown ones are
// refused with their reason.
#include "platform/kde/qimage_pixels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace orvel::kde {
namespace {

// Two pixels in a row of stride 12 (4 bytes of padding, which must not be read as pixels).
std::vector<std::uint8_t> twoPixels(std::vector<std::uint8_t> first,
                                    std::vector<std::uint8_t> second) {
  std::vector<std::uint8_t> row = first;
  row.insert(row.end(), second.begin(), second.end());
  row.insert(row.end(), {9, 9, 9, 9});
  return row;
}

std::vector<std::uint8_t> pixelsOf(const Image& image) {
  return {image.row(0), image.row(0) + image.stride()};
}

TEST(QImagePixels, ConvertsEachFormatToPremultipliedBgra) {
  const auto bytes = twoPixels({200, 100, 50, 128}, {10, 20, 30, 0});

  auto premultiplied = convertQImagePixels(bytes, {2, 1, 12, 6});
  ASSERT_TRUE(premultiplied) << premultiplied.error().description;
  EXPECT_EQ(pixelsOf(*premultiplied),
            (std::vector<std::uint8_t>{200, 100, 50, 128, 10, 20, 30, 0}));

  // Straight alpha: each colour times alpha / 255, rounded; transparent becomes all zero.
  auto straight = convertQImagePixels(bytes, {2, 1, 12, 5});
  ASSERT_TRUE(straight);
  EXPECT_EQ(pixelsOf(*straight), (std::vector<std::uint8_t>{100, 50, 25, 128, 0, 0, 0, 0}));

  // An opaque row is left as it came, the translucent row below it premultiplied.
  const std::vector<std::uint8_t> rows = {200, 100, 50, 255, 200, 100, 50, 128};
  auto mixed = convertQImagePixels(rows, {1, 2, 4, 5});
  ASSERT_TRUE(mixed);
  EXPECT_EQ(std::vector<std::uint8_t>(mixed->data(), mixed->data() + 8),
            (std::vector<std::uint8_t>{200, 100, 50, 255, 100, 50, 25, 128}));

  auto opaque = convertQImagePixels(bytes, {2, 1, 12, 4});
  ASSERT_TRUE(opaque);
  EXPECT_EQ(pixelsOf(*opaque), (std::vector<std::uint8_t>{200, 100, 50, 255, 10, 20, 30, 255}));
}

TEST(QImagePixels, KeepsRowsApartByTheirStride) {
  // Two rows of one pixel, 8 bytes apart; the last row needs only its pixel.
  const std::vector<std::uint8_t> bytes = {1, 2, 3, 255, 7, 7, 7, 7, 4, 5, 6, 255};
  EXPECT_EQ((QImageLayout{1, 2, 8, 6}.byteCount()), 12u);
  auto image = convertQImagePixels(bytes, {1, 2, 8, 6});
  ASSERT_TRUE(image);
  EXPECT_EQ(image->stride(), 4u);
  EXPECT_EQ(std::vector<std::uint8_t>(image->row(1), image->row(1) + 4),
            (std::vector<std::uint8_t>{4, 5, 6, 255}));
}

// Packed rows made premultiplied where they lie give what the copying conversion gives, in each
// format; an unknown format is refused as there.
TEST(QImagePixels, InPlaceMatchesTheCopyInEveryFormat) {
  const std::vector<std::uint8_t> packed = {200, 100, 50, 128, 10, 20, 30, 0};
  for (std::uint32_t format : {4u, 5u, 6u}) {
    auto copied = convertQImagePixels(packed, {2, 1, 8, format});
    ASSERT_TRUE(copied) << format;
    Image image = Image::uninitialized(2, 1);
    std::copy(packed.begin(), packed.end(), image.row(0));
    ASSERT_TRUE(premultiplyInPlace(image, format)) << format;
    EXPECT_EQ(pixelsOf(image), pixelsOf(*copied)) << format;
  }
  Image image(2, 1);
  auto unknown = premultiplyInPlace(image, 13);
  ASSERT_FALSE(unknown);
  EXPECT_EQ(unknown.error().description, "KWin sent a picture in an unknown pixel format (13).");
  EXPECT_FALSE(knownQImageFormat(3));
  EXPECT_TRUE(knownQImageFormat(6));
}

TEST(QImagePixels, RefusesUnknownFormatsAndShortOrEmptyPictures) {
  const std::vector<std::uint8_t> bytes(16, 0);
  auto unknown = convertQImagePixels(bytes, {2, 1, 8, 13});
  ASSERT_FALSE(unknown);
  EXPECT_EQ(unknown.error().description, "KWin sent a picture in an unknown pixel format (13).");

  auto shortPicture = convertQImagePixels(bytes, {2, 2, 12, 6});
  ASSERT_FALSE(shortPicture);
  EXPECT_EQ(shortPicture.error().description, "KWin sent 16 bytes of a picture of 20.");

  for (const QImageLayout& none : {QImageLayout{0, 1, 8, 6}, QImageLayout{2, 1, 4, 6},
                                   QImageLayout{2, 1 << 30, SIZE_MAX / 4, 6}}) {
    auto refused = convertQImagePixels(bytes, none);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().description, "KWin sent a picture of no size.");
  }
}

}  // namespace
}  // namespace orvel::kde
