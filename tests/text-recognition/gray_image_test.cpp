#include "gray_image.h"

#include "gif_frames.h"

#include "page_renderer.h"
#include "png_gray_stream.h"

#include <gtest/gtest.h>
#include <leptonica/allheaders.h>
#include <png.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

namespace orvel::ocr {
namespace {

class GrayImageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("orvel-gray-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    setMsgSeverity(L_SEVERITY_NONE);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string path(const char* name) const { return (dir_ / name).string(); }

  // Left half black, right half white, 64 x 16.
  static PixPtr halves() {
    PixPtr pix(pixCreate(64, 16, 32));
    pixSetAll(pix.get());
    Box* box = boxCreate(0, 0, 32, 16);
    pixClearInRect(pix.get(), box);
    boxDestroy(&box);
    return pix;
  }

  static l_uint32 gray(const GrayImage& image, int x, int y) {
    const PixPtr pixel = image.pixels({x, y, 1, 1});
    l_uint32 value = 0;
    if (pixel) pixGetPixel(pixel.get(), 0, 0, &value);
    return value;
  }

  std::filesystem::path dir_;
};

TEST_F(GrayImageTest, ReadsEveryFormatAsGrey) {
  const PixPtr source = halves();
  const std::vector<std::pair<const char*, l_int32>> formats = {
      {"a.png", IFF_PNG}, {"a.jpg", IFF_JFIF_JPEG}, {"a.tif", IFF_TIFF_ZIP},
      {"a.bmp", IFF_BMP}, {"a.gif", IFF_GIF},       {"a.webp", IFF_WEBP}};
  for (const auto& [name, format] : formats) {
    ASSERT_EQ(pixWrite(path(name).c_str(), source.get(), format), 0) << name;
    const auto image = GrayImage::read(path(name));
    ASSERT_TRUE(image) << name;
    EXPECT_EQ(pixGetDepth(image->pixels({0, 0, 64, 16}).get()), 8) << name;
    EXPECT_EQ(image->width(), 64) << name;
    EXPECT_EQ(image->height(), 16) << name;
    EXPECT_LT(gray(*image, 4, 8), 40u) << name;
    EXPECT_GT(gray(*image, 60, 8), 215u) << name;
  }
}

TEST_F(GrayImageTest, ComposesTransparencyOnWhiteAndReadsInterlacedPng) {
  // Row 0: transparent black, half-transparent black, opaque black. Written interlaced too.
  const png_byte rgba[] = {0, 0, 0, 0, 0, 0, 0, 128, 0, 0, 0, 255};
  for (const bool interlaced : {false, true}) {
    const std::string file = path(interlaced ? "adam7.png" : "plain.png");
    std::FILE* out = std::fopen(file.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, out);
    png_set_IHDR(png, info, 3, 1, 8, PNG_COLOR_TYPE_RGBA,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_bytep rows[] = {const_cast<png_bytep>(rgba)};
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    std::fclose(out);

    const auto image = GrayImage::read(file);
    ASSERT_TRUE(image) << file;
    EXPECT_EQ(gray(*image, 0, 0), 255u) << file;
    EXPECT_NEAR(gray(*image, 1, 0), 127.0, 2.0) << file;
    EXPECT_EQ(gray(*image, 2, 0), 0u) << file;
  }
}

TEST_F(GrayImageTest, RejectsFilesThatAreNotImages) {
  std::ofstream(path("notes.txt")) << "just some words\n";
  EXPECT_FALSE(GrayImage::read(path("notes.txt")));
  std::ofstream(path("broken.png")) << "\x89PNG\r\n\x1a\n truncated";
  EXPECT_FALSE(GrayImage::read(path("broken.png")));
  EXPECT_FALSE(GrayImage::read(path("missing.png")));
  EXPECT_FALSE(GrayImage::read(dir_.string()));
}

TEST_F(GrayImageTest, StreamedPngGivesTheSameRowsInAnyOrder) {
  // Rows of distinct greys, taller than the decoder's window.
  const int height = PngGrayStream::kWindowRows * 3;
  PixPtr source(pixCreate(5, height, 8));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < 5; ++x)
      pixSetPixel(source.get(), x, y, (y * 7 + x) % 256);
  }
  ASSERT_EQ(pixWrite(path("rows.png").c_str(), source.get(), IFF_PNG), 0);
  const auto image = GrayImage::read(path("rows.png"));
  ASSERT_TRUE(image);
  ASSERT_TRUE(dynamic_cast<const PngGrayStream*>(image.get()));
  const GrayPicture whole(std::move(source));

  // Overlapping bands top to bottom, then one far above the window, then one clipped at the end.
  const std::vector<platform::PixelRect> rects = {
      {0, 0, 5, 700}, {0, 572, 5, 700}, {1, 1200, 3, 336}, {0, 10, 5, 20}, {0, 1500, 5, 100}};
  for (const platform::PixelRect& rect : rects) {
    const PixPtr streamed = image->pixels(rect);
    const PixPtr expected = whole.pixels(rect);
    ASSERT_TRUE(streamed && expected) << rect.y;
    l_int32 same = 0;
    pixEqual(streamed.get(), expected.get(), &same);
    EXPECT_TRUE(same) << rect.y;
  }
  EXPECT_FALSE(image->pixels({0, height, 5, 10}));
}

TEST_F(GrayImageTest, WhitensSolidDarkAreasAndLeavesGlyphsAlone) {
  PixPtr page(pixCreate(200, 100, 8));
  pixSetAllGray(page.get(), 240);
  const auto fill = [&](l_int32 x, l_int32 y, l_int32 w, l_int32 h, l_uint32 value) {
    for (l_int32 row = y; row < y + h; ++row) {
      for (l_int32 col = x; col < x + w; ++col)
        pixSetPixel(page.get(), col, row, value);
    }
  };
  fill(10, 10, 80, 30, 100);  // a coloured button...
  fill(20, 20, 30, 3, 255);   // ...with a white stroke of text
  fill(120, 10, 4, 40, 0);    // a tall black glyph
  fill(120, 60, 60, 20, 0);   // a black frame, too hollow to be an area
  fill(124, 64, 52, 12, 240);
  invertDarkAreas(page.get());
  const GrayPicture picture(std::move(page));
  EXPECT_EQ(gray(picture, 12, 12), 255u);
  EXPECT_EQ(gray(picture, 25, 21), 0u);
  EXPECT_EQ(gray(picture, 150, 5), 240u);
  EXPECT_EQ(gray(picture, 121, 30), 0u);
  EXPECT_EQ(gray(picture, 121, 61), 0u);

  PixPtr dark(pixCreate(100, 50, 8));
  pixSetAllGray(dark.get(), 30);
  pixSetPixel(dark.get(), 50, 25, 230);
  invertDarkAreas(dark.get());
  const GrayPicture darkPage(std::move(dark));
  EXPECT_EQ(gray(darkPage, 5, 5), 255u);
  EXPECT_LT(gray(darkPage, 50, 25), 40u);
}

TEST_F(GrayImageTest, SizesBeyondTheLimitsAndFilesThatAreNotRegularAreRefusedUnread) {
  // Headers claiming more than the pixels, or the sides, that are decoded.
  ASSERT_TRUE(testing::writeWhitePng(path("huge.png"), 100000, 100000, /*rows=*/false));
  ASSERT_TRUE(testing::writeWhitePng(path("wide.png"), 300000, 1, /*rows=*/false));
  EXPECT_FALSE(GrayImage::read(path("huge.png")));
  EXPECT_FALSE(GrayImage::read(path("wide.png")));

  // A JPEG whose frame header claims 20000 x 8000, more than a picture decoded whole may hold.
  const PixPtr source = halves();
  ASSERT_EQ(pixWrite(path("a.jpg").c_str(), source.get(), IFF_JFIF_JPEG), 0);
  std::ifstream in(path("a.jpg"), std::ios::binary);
  std::string jpeg{std::istreambuf_iterator<char>(in), {}};
  const auto frame = jpeg.find("\xff\xc0");
  ASSERT_NE(frame, std::string::npos);
  jpeg.replace(frame + 5, 4, std::string("\x1f\x40\x4e\x20", 4));  // height 8000, width 20000
  std::ofstream(path("big.jpg"), std::ios::binary) << jpeg;
  EXPECT_FALSE(GrayImage::read(path("big.jpg")));

  // A GIF whose one frame, 8000 x 7000, is far larger than the 10 x 10 logical screen its header
  // states: more than a picture decoded whole may hold.
  PixPtr wide(pixCreate(8000, 7000, 1));
  ASSERT_EQ(pixWrite(path("frame.gif").c_str(), wide.get(), IFF_GIF), 0);
  std::fstream patch(path("frame.gif"), std::ios::binary | std::ios::in | std::ios::out);
  patch.seekp(6);
  patch.write("\x0a\x00\x0a\x00", 4);
  patch.close();
  EXPECT_FALSE(GrayImage::read(path("frame.gif")));

  // The walk counts every frame at its own size.
  const auto gif = [](std::initializer_list<int> sides) {
    std::string bytes("GIF89a\x0a\x00\x0a\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff", 19);
    for (const int side : sides) {
      const char lo = static_cast<char>(side & 0xff), hi = static_cast<char>(side >> 8);
      bytes += std::string("\x2c\x00\x00\x00\x00", 5) + lo + hi + lo + hi;
      bytes += std::string("\x00\x02\x02\x44\x01\x00", 6);
    }
    return bytes + "\x3b";
  };
  const std::string two = gif({2000, 300});
  const auto frames = readGifFrames([&](std::uint64_t at, std::uint8_t* out, std::size_t size) {
    const std::size_t n = at < two.size() ? std::min(size, two.size() - at) : 0;
    std::memcpy(out, two.data() + at, n);
    return n;
  });
  ASSERT_TRUE(frames);
  EXPECT_EQ(frames->count, 2);
  EXPECT_EQ(frames->widestSide, 2000);
  EXPECT_EQ(frames->totalPixels, 4'090'000);
  EXPECT_EQ(frames->screenWidth, 10);

  // One row 200000 pixels wide is small, and is streamed in little memory.
  ASSERT_TRUE(testing::writeWhitePng(path("row.png"), 200000, 1));
  const auto row = GrayImage::read(path("row.png"));
  ASSERT_TRUE(row);
  EXPECT_EQ(row->width(), 200000);
  EXPECT_EQ(gray(*row, 199999, 0), 255u);

  // A FIFO nobody writes to, and a folder: refused at once.
  ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
  EXPECT_FALSE(GrayImage::read(path("fifo")));
  EXPECT_FALSE(GrayImage::read(dir_.string()));
}

}  // namespace
}  // namespace orvel::ocr
