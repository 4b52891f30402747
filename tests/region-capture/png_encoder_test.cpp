#include <gtest/gtest.h>
#include <libdeflate.h>

#include <cstring>
#include <fstream>

#include "orvel/common/file_replacement.h"
#include "png_encoder.h"
#include "png_file.h"
#include "region_composition.h"
#include "temp_folder.h"

namespace orvel::region::testing {
namespace {

// The zlib stream spread over the IDAT chunks, inflated with its checksum verified; empty when it
// does not inflate to `size` bytes.
std::vector<std::uint8_t> inflateIdat(const std::vector<std::uint8_t>& file, std::size_t size) {
  std::vector<std::uint8_t> stream;
  for (std::size_t at = 8; at + 12 <= file.size();) {
    const std::size_t length = std::size_t{file[at]} << 24 | std::size_t{file[at + 1]} << 16 |
                               std::size_t{file[at + 2]} << 8 | file[at + 3];
    if (std::memcmp(file.data() + at + 4, "IDAT", 4) == 0) {
      stream.insert(stream.end(), file.begin() + static_cast<std::ptrdiff_t>(at + 8),
                    file.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
    }
    at += length + 12;
  }
  std::vector<std::uint8_t> out(size);
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  const auto result = libdeflate_zlib_decompress(decompressor, stream.data(), stream.size(),
                                                 out.data(), out.size(), nullptr);
  libdeflate_free_decompressor(decompressor);
  return result == LIBDEFLATE_SUCCESS ? out : std::vector<std::uint8_t>{};
}

std::uint32_t bgra(std::uint8_t b, std::uint8_t g, std::uint8_t r, std::uint8_t a) {
  return b | g << 8 | r << 16 | std::uint32_t{a} << 24;
}

TEST(PngEncoder, EveryFilterDecodesToTheStraightColours) {
  Image image(37, 5);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 37; ++x)
      reinterpret_cast<std::uint32_t*>(image.row(y))[x] =
          bgra(static_cast<std::uint8_t>(x * 7), static_cast<std::uint8_t>(y * 50), 200, 255);
  // Premultiplied translucent pixels come out straight; a clear one is all zero.
  reinterpret_cast<std::uint32_t*>(image.row(2))[3] = bgra(64, 32, 128, 128);
  reinterpret_cast<std::uint32_t*>(image.row(2))[4] = 0;
  TempFolder folder;
  for (auto filter :
       {PngFilter::None, PngFilter::Sub, PngFilter::Up, PngFilter::Average, PngFilter::Paeth}) {
    const auto bytes = encodePng(image.view(), 108, {filter, 6});
    ASSERT_TRUE(bytes);
    const std::string path = folder.file("f.png");
    ASSERT_TRUE(replaceFile(path, *bytes));
    const auto png = readPng(path);
    ASSERT_TRUE(png);
    EXPECT_EQ(png->pixelsPerMetre, 4252u) << "108 DPI, rounded";
    EXPECT_EQ(png->at(36, 4), (200u << 24 | 200u << 16 | 252u << 8 | 255u));
    EXPECT_EQ(png->at(3, 2), (255u << 24 | 64u << 16 | 128u << 8 | 128u));
    EXPECT_EQ(png->at(4, 2), 0u);
  }
  EXPECT_FALSE(encodePng(Image().view(), 72));
}

// Large enough to be compressed in several bands on several threads, with translucent and clear
// pixels on the rows either side of each band edge.
TEST(PngEncoder, BandsCompressedApartDecodeToEveryPixel) {
  const int width = 1000, height = 900;
  Image image(width, height);
  std::uint32_t state = 12345;
  auto noise = [&state] {
    state = state * 1664525u + 1013904223u;
    return static_cast<std::uint8_t>(state >> 24);
  };
  for (int y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(image.row(y));
    for (int x = 0; x < width; ++x) {
      // Flat, gradient and noisy stretches, so the bands use every kind of deflate block.
      const auto grain = y % 300 < 100 ? noise() : std::uint8_t{0};
      row[x] = bgra(static_cast<std::uint8_t>(x + grain), static_cast<std::uint8_t>(y), 90, 255);
    }
  }
  const std::size_t rowsPerMiB = (std::size_t{1} << 20) / (width * 4 + 1);
  for (std::size_t edge = rowsPerMiB; edge < static_cast<std::size_t>(height); edge += rowsPerMiB) {
    for (std::size_t y : {edge - 1, edge}) {
      auto* row = reinterpret_cast<std::uint32_t*>(image.row(static_cast<int>(y)));
      row[10] = bgra(64, 32, 128, 128);
      row[11] = 0;
    }
  }
  auto expected = [&](int x, int y) {
    const std::uint32_t p = reinterpret_cast<const std::uint32_t*>(image.row(y))[x];
    const std::uint32_t a = p >> 24;
    if (a == 0) return 0u;
    auto straight = [a](std::uint32_t c) { return std::min(255u, (c * 255 + a / 2) / a); };
    return straight(p >> 16 & 0xff) << 24 | straight(p >> 8 & 0xff) << 16 |
           straight(p & 0xff) << 8 | a;
  };
  TempFolder folder;
  for (auto filter : {PngFilter::Sub, PngFilter::Paeth, PngFilter::Up}) {
    const auto bytes = encodePng(image.view(), 72, {filter, 2});
    ASSERT_TRUE(bytes);
    // One zlib stream whose Adler-32 covers every band.
    EXPECT_EQ(inflateIdat(*bytes, (width * 4 + 1) * std::size_t{height}).size(),
              (width * 4 + 1) * std::size_t{height});
    const std::string path = folder.file("bands.png");
    ASSERT_TRUE(replaceFile(path, *bytes));
    const auto png = readPng(path);
    ASSERT_TRUE(png);
    ASSERT_EQ(png->width, width);
    ASSERT_EQ(png->height, height);
    int wrong = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        wrong += png->at(x, y) != expected(x, y);
    EXPECT_EQ(wrong, 0) << "filter " << static_cast<int>(filter);
  }
}

TEST(Composition, NeighbouringDisplaysAtAnotherScaleMeetWithoutASeam) {
  auto left = std::make_shared<Image>(10, 10);
  auto right = std::make_shared<Image>(15, 15);
  for (auto* picture : {left.get(), right.get()})
    for (int y = 0; y < picture->height(); ++y)
      for (int x = 0; x < picture->width(); ++x)
        reinterpret_cast<std::uint32_t*>(picture->row(y))[x] = 0xff808080u;
  // Scale 1 and 1.5: the left part is enlarged by a factor that is not whole.
  const auto composed =
      composeRegion({3, 0, 14, 10}, {{{0, 0, 10, 10}, 1, left}, {{10, 0, 10, 10}, 1.5, right}});
  ASSERT_TRUE(composed);
  ASSERT_EQ(composed->pixels.width, 21);
  ASSERT_EQ(composed->scale, 1.5);
  for (int y = 0; y < composed->pixels.height; ++y)
    for (int x = 0; x < composed->pixels.width; ++x)
      ASSERT_EQ(reinterpret_cast<const std::uint32_t*>(composed->pixels.row(y))[x], 0xff808080u)
          << x << "," << y;
}

TEST(Composition, ARegionWithinOneDisplayIsReadFromItsFrozenPictureInPlace) {
  auto picture = std::make_shared<Image>(8, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x)
      reinterpret_cast<std::uint32_t*>(picture->row(y))[x] =
          bgra(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7, 255);
  // Scale 2: the region of 2x1 points at (1, 1) is 4x2 pixels from (2, 2).
  const FrozenFrame frame{{0, 0, 4, 3}, 2, picture};
  const auto composed = composeRegion({1, 1, 2, 1}, {frame});
  ASSERT_TRUE(composed);
  EXPECT_EQ(composed->frozen, picture);
  EXPECT_EQ(composed->pixels.data, picture->row(2) + 2 * 4);
  EXPECT_EQ(composed->pixels.width, 4);
  EXPECT_EQ(composed->pixels.height, 2);
  EXPECT_EQ(reinterpret_cast<const std::uint32_t*>(composed->pixels.row(1))[3], bgra(5, 3, 7, 255));

  // Half a pixel off the grid, or reaching past the display: a bitmap of its own.
  for (const Rect region : {Rect{1.25, 1, 2, 1}, Rect{3, 1, 2, 1}}) {
    const auto copied = composeRegion(region, {frame});
    ASSERT_TRUE(copied);
    EXPECT_FALSE(copied->frozen);
    EXPECT_EQ(copied->pixels.data, copied->memory.data());
  }
}

}  // namespace
}  // namespace orvel::region::testing
