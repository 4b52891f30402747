#include <gtest/gtest.h>

#include <fstream>

#include "file_replacement.h"
#include "png_encoder.h"
#include "png_file.h"
#include "region_composition.h"
#include "temp_folder.h"

namespace orvel::region::testing {
namespace {

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

}  // namespace
}  // namespace orvel::region::testing
