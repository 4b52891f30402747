// BMPs that Leptonica's own reader refuses: run-length encoded and core-header (OS/2 1.x) files,
// read through their plain rewrite, index by index.
#include <gtest/gtest.h>
#include <leptonica/allheaders.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gray_image.h"
#include "plain_bmp.h"

namespace orvel::ocr {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The picture every variant below draws, top row first, as palette indices.
const std::vector<std::vector<int>> kIndices = {
    {1, 1, 1, 2, 2, 2},
    {3, 0, 0, 6, 0, 0},
    {7, 7, 8, 9, 10, 11},
};
constexpr int kWidth = 6;
constexpr int kHeight = 3;

void put(Bytes& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Index i is the grey 17 * i; entries of `entryBytes` (3 for core headers, 4 otherwise).
Bytes palette(int entries, int entryBytes) {
  Bytes out;
  for (int i = 0; i < entries; ++i) {
    for (int c = 0; c < 3; ++c)
      out.push_back(static_cast<std::uint8_t>(17 * i));
    if (entryBytes == 4) out.push_back(0);
  }
  return out;
}

Bytes file(const Bytes& header, const Bytes& colours, const Bytes& pixels) {
  Bytes out = {'B', 'M'};
  put(out, static_cast<std::uint32_t>(14 + header.size() + colours.size() + pixels.size()), 4);
  put(out, 0, 4);
  put(out, static_cast<std::uint32_t>(14 + header.size() + colours.size()), 4);
  out.insert(out.end(), header.begin(), header.end());
  out.insert(out.end(), colours.begin(), colours.end());
  out.insert(out.end(), pixels.begin(), pixels.end());
  return out;
}

Bytes infoHeader(int height, int bits, int compression, int colours) {
  Bytes out;
  put(out, 40, 4);
  put(out, kWidth, 4);
  put(out, static_cast<std::uint32_t>(height), 4);
  put(out, 1, 2);
  put(out, static_cast<std::uint32_t>(bits), 2);
  put(out, static_cast<std::uint32_t>(compression), 4);
  for (int i = 0; i < 3; ++i)
    put(out, 0, 4);
  put(out, static_cast<std::uint32_t>(colours), 4);
  put(out, 0, 4);
  return out;
}

Bytes coreHeader(int bits) {
  Bytes out;
  put(out, 12, 4);
  put(out, kWidth, 2);
  put(out, kHeight, 2);
  put(out, 1, 2);
  put(out, static_cast<std::uint32_t>(bits), 2);
  return out;
}

// Bottom row first: an odd absolute run (padded), single runs; a move right over two pixels,
// and an early end of row; runs of three.
const Bytes kRle8 = {1, 7, 0, 3, 7, 8, 9, 0, 1, 10, 1, 11, 0, 0,  //
                     1, 3, 0, 2, 2, 0, 1, 6, 0, 0,                //
                     3, 1, 3, 2, 0, 1};
const Bytes kRle4 = {1, 0x70, 0, 3,    0x78, 0x90, 2, 0xab, 0, 0,  //
                     1, 0x30, 0, 2,    2,    0,    1, 0x60, 0, 0,  //
                     3, 0x11, 3, 0x22, 0,    1};

// Rows bottom first, each padded to four bytes.
Bytes rows(int bits) {
  Bytes out;
  for (int y = kHeight - 1; y >= 0; --y) {
    Bytes row((kWidth * bits + 31) / 32 * 4, 0);
    for (int x = 0; x < kWidth; ++x) {
      const int index = kIndices[y][x];
      if (bits == 24) {
        for (int c = 0; c < 3; ++c)
          row[3 * x + c] = static_cast<std::uint8_t>(17 * index);
      } else if (bits == 8) {
        row[x] = static_cast<std::uint8_t>(index);
      } else if (bits == 4) {
        row[x / 2] |= static_cast<std::uint8_t>(index << (x % 2 == 0 ? 4 : 0));
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

class BmpVariantsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("orvel-bmp-" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir_);
    setMsgSeverity(L_SEVERITY_NONE);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::unique_ptr<GrayImage> read(const Bytes& bytes) {
    const std::string path = (dir_ / "picture.bmp").string();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return GrayImage::read(path);
  }

  // Every pixel's grey against kIndices; `twoColours` reads the picture as index > 0 = white.
  static void expectPicture(const GrayImage& image, const std::string& what,
                            bool twoColours = false) {
    ASSERT_EQ(image.width(), kWidth) << what;
    ASSERT_EQ(image.height(), kHeight) << what;
    const PixPtr pix = image.pixels({0, 0, kWidth, kHeight});
    ASSERT_TRUE(pix) << what;
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        l_uint32 value = 0;
        pixGetPixel(pix.get(), x, y, &value);
        const int index = kIndices[y][x];
        const l_uint32 expected = twoColours ? (index > 0 ? 255 : 0) : 17 * index;
        EXPECT_NEAR(value, expected, 1.0) << what << " at " << x << "," << y;
      }
    }
  }

  std::filesystem::path dir_;
};

TEST_F(BmpVariantsTest, RunLengthPicturesAreReadIndexByIndex) {
  const auto rle8 = read(file(infoHeader(kHeight, 8, 1, 16), palette(16, 4), kRle8));
  ASSERT_TRUE(rle8);
  expectPicture(*rle8, "8-bit runs");
  // No colour count: all sixteen of a 4-bit picture.
  const auto rle4 = read(file(infoHeader(kHeight, 4, 2, 0), palette(16, 4), kRle4));
  ASSERT_TRUE(rle4);
  expectPicture(*rle4, "4-bit runs");
}

TEST_F(BmpVariantsTest, CoreHeaderPicturesAreReadAtEveryDepth) {
  for (const int bits : {4, 8, 24}) {
    const Bytes colours = bits == 24 ? Bytes{} : palette(1 << bits, 3);
    const auto image = read(file(coreHeader(bits), colours, rows(bits)));
    ASSERT_TRUE(image) << bits;
    expectPicture(*image, std::to_string(bits) + " bits");
  }
  // One bit a pixel: black and white.
  Bytes bits;
  for (int y = kHeight - 1; y >= 0; --y) {
    std::uint8_t row = 0;
    for (int x = 0; x < kWidth; ++x)
      row |= static_cast<std::uint8_t>((kIndices[y][x] > 0) << (7 - x));
    bits.insert(bits.end(), {row, 0, 0, 0});
  }
  Bytes blackWhite = {0, 0, 0, 255, 255, 255};
  const auto mono = read(file(coreHeader(1), blackWhite, bits));
  ASSERT_TRUE(mono);
  expectPicture(*mono, "1 bit", /*twoColours=*/true);
}

TEST_F(BmpVariantsTest, DamagedVariantsAreRefused) {
  // An absolute run that goes past the end of the file.
  const Bytes cut(kRle8.begin(), kRle8.begin() + 6);
  EXPECT_FALSE(read(file(infoHeader(kHeight, 8, 1, 16), palette(16, 4), cut)));
  // Runs stored top row first, which the format does not allow.
  EXPECT_FALSE(read(file(infoHeader(-kHeight, 8, 1, 16), palette(16, 4), kRle8)));
  // Rows missing from a core picture, and a core depth that does not exist.
  Bytes short8 = rows(8);
  short8.pop_back();
  EXPECT_FALSE(read(file(coreHeader(8), palette(256, 3), short8)));
  EXPECT_FALSE(read(file(coreHeader(5), palette(32, 3), rows(8))));
  // A picture without its end mark keeps what it drew.
  const Bytes open(kRle8.begin(), kRle8.end() - 2);
  const auto unfinished = read(file(infoHeader(kHeight, 8, 1, 16), palette(16, 4), open));
  ASSERT_TRUE(unfinished);
  expectPicture(*unfinished, "without an end mark");
}

TEST_F(BmpVariantsTest, OnlyTheRefusedVariantsAreRewritten) {
  EXPECT_TRUE(needsPlainBmp(file(infoHeader(kHeight, 8, 1, 16), palette(16, 4), kRle8)));
  EXPECT_TRUE(needsPlainBmp(file(coreHeader(24), {}, rows(24))));
  const Bytes plain = file(infoHeader(kHeight, 8, 0, 16), palette(16, 4), rows(8));
  EXPECT_FALSE(needsPlainBmp(plain));
  EXPECT_FALSE(plainBmp(plain));
  const auto image = read(plain);
  ASSERT_TRUE(image);
  expectPicture(*image, "plain");
}

}  // namespace
}  // namespace orvel::ocr
