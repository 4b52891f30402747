#include "gray_image.h"

#include <fcntl.h>
#include <leptonica/allheaders.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include "gif_frames.h"
#include "image_limits.h"
#include "plain_bmp.h"
#include "png_gray_stream.h"

namespace orvel::ocr {
namespace {

constexpr l_uint32 kWhite = 0xffffff00;
// A dark area is a connected run of pixels below mid-grey, larger than any glyph and mostly solid
// (text holes and light borders inside it are fine).
constexpr l_int32 kDarkBelow = 128;
constexpr l_int32 kMinAreaWidth = 40;
constexpr l_int32 kMinAreaHeight = 16;
constexpr double kMinAreaFill = 0.6;

PixPtr toGray(PixPtr pix) {
  if (!pix) return nullptr;
  // Leptonica's depth conversion ignores the palette of 1-bit images (GIF, BMP); apply it first.
  if (pixGetColormap(pix.get()) != nullptr) {
    pix.reset(pixRemoveColormap(pix.get(), REMOVE_CMAP_TO_GRAYSCALE));
    if (!pix) return nullptr;
  }
  if (pixGetDepth(pix.get()) == 8) return pix;
  if (pixGetDepth(pix.get()) == 32 && pixGetSpp(pix.get()) == 4) {
    pix.reset(pixAlphaBlendUniform(pix.get(), kWhite));
    if (!pix) return nullptr;
  }
  return PixPtr(pixConvertTo8(pix.get(), 0));
}

}  // namespace

void PixDeleter::operator()(Pix* pix) const {
  pixDestroy(&pix);
}

namespace {

// Width and height from the header of a picture decoded whole, without decoding it.
bool readDimensions(int fd, std::FILE* file, l_int32 format, l_int32* width, l_int32* height) {
  l_int32 a = 0, b = 0, c = 0, d = 0, e = 0;
  switch (format) {
    case IFF_JFIF_JPEG:
      return freadHeaderJpeg(file, width, height, &a, &b, &c) == 0;
    case IFF_PNG:
      return freadHeaderPng(file, width, height, &a, &b, &c) == 0;
    case IFF_PNM:
      return freadHeaderPnm(file, width, height, &a, &b, &c, &d) == 0;
    case IFF_JP2:
      return freadHeaderJp2k(file, width, height, &a, &b, &c) == 0;
    case IFF_SPIX:
      return freadHeaderSpix(file, width, height, &a, &b, &c) == 0;
    case IFF_GIF: {
      // Every frame is decoded and kept at its own size, whatever the logical screen says.
      const auto frames =
          readGifFrames([fd](std::uint64_t at, std::uint8_t* buffer, std::size_t size) {
            const ssize_t got = ::pread(fd, buffer, size, static_cast<off_t>(at));
            return got > 0 ? static_cast<std::size_t>(got) : std::size_t{0};
          });
      if (!frames || frames->widestSide > kMaxSide || frames->totalPixels > kMaxWholePixels) {
        return false;
      }
      *width = frames->screenWidth;
      *height = frames->screenHeight;
      return true;
    }
    case IFF_BMP: {
      std::uint8_t head[26];
      if (::pread(fd, head, sizeof head, 0) != static_cast<ssize_t>(sizeof head)) return false;
      const auto le = [&head](int at, int bytes) {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
          v = v << 8 | head[at + i];
        return v;
      };
      if (le(14, 4) == 12) {  // the old core header: 16-bit sides
        *width = static_cast<l_int32>(le(18, 2));
        *height = static_cast<l_int32>(le(20, 2));
        return true;
      }
      // Signed sides; a negative height is a picture stored top row first.
      const auto w = static_cast<std::int64_t>(static_cast<std::int32_t>(le(18, 4)));
      const auto h = static_cast<std::int64_t>(static_cast<std::int32_t>(le(22, 4)));
      if (w <= 0 || h == 0 || w > kMaxSide || -h > kMaxSide || h > kMaxSide) return false;
      *width = static_cast<l_int32>(w);
      *height = static_cast<l_int32>(h < 0 ? -h : h);
      return true;
    }
    case IFF_WEBP: {
      // The sides are in the first few dozen bytes.
      std::uint8_t head[64];
      const ssize_t got = ::pread(fd, head, sizeof head, 0);
      return got > 0 &&
             readHeaderMemWebP(head, static_cast<std::size_t>(got), width, height, &a) == 0;
    }
    default:
      if (L_FORMAT_IS_TIFF(format)) {
        return freadHeaderTiff(file, 0, width, height, &a, &b, &c, &d, &e) == 0;
      }
      return false;
  }
}

// A BMP that Leptonica's reader refuses, through its plain rewrite; null for the others. Only the
// bytes a picture of the header's size can take are read.
PixPtr readOtherBmp(int fd, l_int32 width, l_int32 height) {
  std::vector<std::uint8_t> file(64);
  const ssize_t head = ::pread(fd, file.data(), file.size(), 0);
  if (head <= 0) return nullptr;
  file.resize(static_cast<std::size_t>(head));
  if (!needsPlainBmp(file)) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0) return nullptr;
  const std::size_t most = 4 * (static_cast<std::size_t>(width) + 4) * height + 65536;
  file.resize(std::min(static_cast<std::size_t>(info.st_size), most));
  for (std::size_t at = 0; at < file.size();) {
    const ssize_t got = ::pread(fd, file.data() + at, file.size() - at, static_cast<off_t>(at));
    if (got <= 0) return nullptr;
    at += static_cast<std::size_t>(got);
  }
  const std::optional<std::vector<std::uint8_t>> plain = plainBmp(file);
  file = {};
  if (!plain) return nullptr;
  return PixPtr(pixReadMemBmp(plain->data(), plain->size()));
}

// The first picture of a regular file, decoded whole, if its header is within the limits.
PixPtr readWhole(int fd) {
  if (::lseek(fd, 0, SEEK_SET) != 0) return nullptr;
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return nullptr;
  std::FILE* file = ::fdopen(copy, "rb");
  if (file == nullptr) {
    ::close(copy);
    return nullptr;
  }
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> closer(file, std::fclose);
  l_int32 format = IFF_UNKNOWN, width = 0, height = 0;
  if (findFileFormatStream(file, &format) != 0 || format == IFF_UNKNOWN) return nullptr;
  std::rewind(file);
  const bool known = readDimensions(fd, file, format, &width, &height);
  if (!known || !withinImageLimits(width, height, /*streamed=*/false)) return nullptr;
  if (format == IFF_BMP) {
    if (auto pix = readOtherBmp(fd, width, height)) return pix;
  }
  std::rewind(file);
  return PixPtr(pixReadStream(file, 0));
}

}  // namespace

std::unique_ptr<GrayImage> GrayImage::read(const std::string& path) {
  // Without waiting, so that a FIFO or a device cannot hold the helper, and only a regular file;
  // every read goes through this descriptor, so the file checked is the file decoded.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  std::uint8_t signature[8] = {};
  const bool png = ::pread(fd, signature, sizeof signature, 0) == sizeof signature &&
                   png_sig_cmp(signature, 0, sizeof signature) == 0;
  if (png) {
    bool interlaced = false;
    if (auto stream = PngGrayStream::open(fd, &interlaced)) return stream;
    if (!interlaced) {
      ::close(fd);
      return nullptr;
    }
  }
  // Interlaced PNGs and every other format are decoded whole, in full colour first.
  PixPtr pix = toGray(readWhole(fd));
  ::close(fd);
  if (!pix) return nullptr;
  return std::make_unique<GrayPicture>(std::move(pix));
}

namespace {

// Inverts the area and stretches it so that its background, the most common grey, becomes white:
// a mid-dark background such as a coloured button would otherwise invert to mid-grey, which the
// engine's global threshold turns into a solid block.
void whitenArea(Pix* gray, l_int32 left, l_int32 top, l_int32 width, l_int32 height) {
  l_uint32* data = pixGetData(gray);
  const l_int32 wordsPerLine = pixGetWpl(gray);
  std::array<std::size_t, 256> histogram{};
  for (l_int32 y = top; y < top + height; ++y) {
    const l_uint32* line = data + static_cast<std::size_t>(y) * wordsPerLine;
    for (l_int32 x = left; x < left + width; ++x)
      ++histogram[GET_DATA_BYTE(line, x)];
  }
  std::size_t seen = 0;
  int background = 0;
  while (background < 255 && (seen += histogram[background]) * 2 < std::size_t(width) * height) {
    ++background;
  }
  std::array<l_uint32, 256> map{};
  const int range = std::max(255 - background, 1);
  for (int level = 0; level < 256; ++level)
    map[level] = std::min(255, (255 - level) * 255 / range);
  for (l_int32 y = top; y < top + height; ++y) {
    l_uint32* line = data + static_cast<std::size_t>(y) * wordsPerLine;
    for (l_int32 x = left; x < left + width; ++x) {
      SET_DATA_BYTE(line, x, map[GET_DATA_BYTE(line, x)]);
    }
  }
}

}  // namespace

void invertDarkAreas(Pix* gray) {
  const PixPtr dark(pixThresholdToBinary(gray, kDarkBelow));
  if (!dark) return;
  Boxa* areas = pixConnCompBB(dark.get(), 8);
  if (areas == nullptr) return;
  for (l_int32 i = 0; i < boxaGetCount(areas); ++i) {
    l_int32 x = 0, y = 0, w = 0, h = 0;
    boxaGetBoxGeometry(areas, i, &x, &y, &w, &h);
    if (w < kMinAreaWidth || h < kMinAreaHeight) continue;
    Box* box = boxaGetBox(areas, i, L_CLONE);
    l_int32 count = 0;
    pixCountPixelsInRect(dark.get(), box, &count, nullptr);
    boxDestroy(&box);
    if (count < kMinAreaFill * w * h) continue;
    whitenArea(gray, x, y, w, h);
  }
  boxaDestroy(&areas);
}

std::vector<std::array<std::int64_t, 256>> greyHistogramsPerRow(const Pix* gray) {
  const l_int32 width = pixGetWidth(gray);
  const l_int32 height = pixGetHeight(gray);
  const l_int32 wordsPerLine = pixGetWpl(gray);
  const l_uint32* data = pixGetData(const_cast<Pix*>(gray));
  std::vector<std::array<std::int64_t, 256>> rows(static_cast<std::size_t>(height));
  for (l_int32 y = 0; y < height; ++y) {
    const l_uint32* line = data + static_cast<std::size_t>(y) * wordsPerLine;
    auto& histogram = rows[static_cast<std::size_t>(y)];
    histogram.fill(0);
    for (l_int32 x = 0; x < width; ++x)
      ++histogram[GET_DATA_BYTE(line, x)];
  }
  return rows;
}

int GrayPicture::width() const {
  return pixGetWidth(pix_.get());
}
int GrayPicture::height() const {
  return pixGetHeight(pix_.get());
}

PixPtr GrayPicture::pixels(const platform::PixelRect& rect) const {
  Box* box = boxCreateValid(rect.x, rect.y, rect.width, rect.height);
  if (box == nullptr) return nullptr;
  PixPtr clip(pixClipRectangle(pix_.get(), box, nullptr));
  boxDestroy(&box);
  return clip;
}

}  // namespace orvel::ocr
