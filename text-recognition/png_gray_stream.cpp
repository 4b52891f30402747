#include "png_gray_stream.h"

#include <fcntl.h>
#include <leptonica/allheaders.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstring>

#include "image_limits.h"

namespace orvel::ocr {
namespace {

void silentWarning(png_structp, png_const_charp) {}
[[noreturn]] void silentError(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

// Straight grey and alpha, composed on white.
std::uint8_t onWhite(png_byte gray, png_byte alpha) {
  return static_cast<std::uint8_t>((gray * alpha + 255 * (255 - alpha) + 127) / 255);
}

// libpng leaves these by longjmp on errors, so no C++ object with a destructor lives in them.
bool readHeader(png_structp png, png_infop info, std::FILE* file, png_uint_32* width,
                png_uint_32* height, bool* interlaced) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_read_info(png, info);
  *width = png_get_image_width(png, info);
  *height = png_get_image_height(png, info);
  *interlaced = png_get_interlace_type(png, info) != PNG_INTERLACE_NONE;
  if (*interlaced) return false;
  const png_byte colorType = png_get_color_type(png, info);
  png_set_expand(png);
  png_set_strip_16(png);
  if (colorType & PNG_COLOR_MASK_COLOR) png_set_rgb_to_gray_fixed(png, 1, -1, -1);
  if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS)) {
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
  }
  png_read_update_info(png, info);
  return png_get_rowbytes(png, info) == 2 * static_cast<png_size_t>(*width);
}

bool readRow(png_structp png, png_bytep row) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_row(png, row, nullptr);
  return true;
}

}  // namespace

struct PngGrayStream::Decoder {
  std::FILE* file = nullptr;
  png_structp png = nullptr;
  png_infop info = nullptr;
  ~Decoder() {
    png_destroy_read_struct(&png, &info, nullptr);
    if (file != nullptr) std::fclose(file);
  }
};

PngGrayStream::~PngGrayStream() {
  decoder_.reset();
  ::close(fd_);
}

std::unique_ptr<PngGrayStream::Decoder> PngGrayStream::openDecoder(int fd, int* width, int* height,
                                                                   bool* interlaced) {
  auto decoder = std::make_unique<PngGrayStream::Decoder>();
  if (::lseek(fd, 0, SEEK_SET) != 0) return nullptr;
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return nullptr;
  decoder->file = ::fdopen(copy, "rb");
  if (decoder->file == nullptr) {
    ::close(copy);
    return nullptr;
  }
  decoder->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, silentError, silentWarning);
  if (decoder->png == nullptr) return nullptr;
  decoder->info = png_create_info_struct(decoder->png);
  if (decoder->info == nullptr) return nullptr;
  png_uint_32 w = 0, h = 0;
  if (!readHeader(decoder->png, decoder->info, decoder->file, &w, &h, interlaced)) return nullptr;
  if (!withinImageLimits(w, h, /*streamed=*/true)) return nullptr;
  *width = static_cast<int>(w);
  *height = static_cast<int>(h);
  return decoder;
}

PngGrayStream::PngGrayStream(int fd, std::unique_ptr<Decoder> decoder, int width, int height)
    : fd_(fd),
      width_(width),
      height_(height),
      windowRows_(std::min(height, kWindowRows)),
      decoder_(std::move(decoder)),
      window_(static_cast<std::size_t>(width) * static_cast<std::size_t>(windowRows_)),
      scratch_(2 * static_cast<std::size_t>(width)) {}

std::unique_ptr<PngGrayStream> PngGrayStream::open(int fd, bool* interlaced) {
  int width = 0, height = 0;
  *interlaced = false;
  std::unique_ptr<Decoder> decoder = openDecoder(fd, &width, &height, interlaced);
  if (!decoder) return nullptr;
  return std::unique_ptr<PngGrayStream>(new PngGrayStream(fd, std::move(decoder), width, height));
}

bool PngGrayStream::restart() const {
  int width = 0, height = 0;
  bool interlaced = false;
  decoder_.reset();
  std::unique_ptr<Decoder> decoder = openDecoder(fd_, &width, &height, &interlaced);
  if (!decoder || width != width_ || height != height_) return false;
  decoder_ = std::move(decoder);
  nextRow_ = 0;
  return true;
}

bool PngGrayStream::decodeNextRow() const {
  if (!decoder_) return false;  // a restart failed
  if (!readRow(decoder_->png, scratch_.data())) return false;
  const std::size_t width = static_cast<std::size_t>(width_);
  std::uint8_t* slot = window_.data() + static_cast<std::size_t>(nextRow_ % windowRows_) * width;
  for (std::size_t x = 0; x < width; ++x)
    slot[x] = onWhite(scratch_[2 * x], scratch_[2 * x + 1]);
  ++nextRow_;
  return true;
}

PixPtr PngGrayStream::pixels(const platform::PixelRect& rect) const {
  const int left = std::max(rect.x, 0);
  const int top = std::max(rect.y, 0);
  const int right = std::min(rect.x + rect.width, width_);
  const int bottom = std::min(rect.y + rect.height, height_);
  if (left >= right || top >= bottom) return nullptr;
  if (top < windowTop() && !restart()) return nullptr;

  PixPtr pix(pixCreate(right - left, bottom - top, 8));
  if (!pix) return nullptr;
  l_uint32* data = pixGetData(pix.get());
  const l_int32 wordsPerLine = pixGetWpl(pix.get());
  for (int y = top; y < bottom; ++y) {
    while (nextRow_ <= y) {
      if (!decodeNextRow()) return nullptr;
    }
    const std::uint8_t* row = window_.data() + static_cast<std::size_t>(y % windowRows_) *
                                                   static_cast<std::size_t>(width_);
    l_uint32* line = data + static_cast<std::size_t>(y - top) * wordsPerLine;
    for (int x = left; x < right; ++x)
      SET_DATA_BYTE(line, x - left, row[x]);
  }
  return pix;
}

}  // namespace orvel::ocr
