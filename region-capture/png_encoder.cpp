#include "png_encoder.h"

#include "deflate_join.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <thread>

namespace orvel::region {

namespace {

constexpr std::array<std::uint8_t, 8> kSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
constexpr std::uint32_t kMaxChunk = 0x7fffffff;

void putU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v >> 24));
  out.push_back(static_cast<std::uint8_t>(v >> 16));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
  out.push_back(static_cast<std::uint8_t>(v));
}

void putChunk(std::vector<std::uint8_t>& out, const char type[4], const std::uint8_t* data,
              std::size_t size) {
  putU32(out, static_cast<std::uint32_t>(size));
  const std::size_t typeAt = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data, data + size);
  putU32(out, static_cast<std::uint32_t>(libdeflate_crc32(0, out.data() + typeAt, size + 4)));
}

// Un-premultiplies one row of BGRA into straight RGBA. Screen pictures are opaque, so the plain
// byte swap runs over the whole row first and the rare translucent pixels are redone after.
void straightRow(const std::uint8_t* bgra, std::uint8_t* rgba, int width) {
  std::uint32_t translucent = 0;
  for (int x = 0; x < width; ++x) {
    std::uint32_t v;
    std::memcpy(&v, bgra + x * 4, 4);
    translucent |= ~v & 0xff000000u;
    v = (v & 0xff00ff00u) | ((v >> 16) & 0xffu) | ((v & 0xffu) << 16);
    std::memcpy(rgba + x * 4, &v, 4);
  }
  if (!translucent) return;
  for (int x = 0; x < width; ++x) {
    const std::uint8_t* in = bgra + x * 4;
    std::uint8_t* out = rgba + x * 4;
    const unsigned a = in[3];
    if (a == 255) continue;
    if (a == 0) {
      std::memset(out, 0, 4);
      continue;
    }
    out[0] = static_cast<std::uint8_t>(std::min(255u, (in[2] * 255u + a / 2) / a));
    out[1] = static_cast<std::uint8_t>(std::min(255u, (in[1] * 255u + a / 2) / a));
    out[2] = static_cast<std::uint8_t>(std::min(255u, (in[0] * 255u + a / 2) / a));
  }
}

// The Sub filter straight from an opaque premultiplied BGRA row, in one pass: the byte-wise
// difference of neighbouring pixels, with blue and red swapped after, since both steps work byte
// by byte. False, with `out` unfinished, when a pixel is translucent.
bool subOpaqueRow(const std::uint8_t* bgra, std::uint8_t* out, int width) {
  constexpr std::uint32_t kHigh = 0x80808080u;
  auto pixel = [bgra](int x) {
    std::uint32_t v;
    std::memcpy(&v, bgra + x * 4, 4);
    return v;
  };
  auto put = [out](int x, std::uint32_t d) {
    d = (d & 0xff00ff00u) | ((d >> 16) & 0xffu) | ((d & 0xffu) << 16);
    std::memcpy(out + x * 4, &d, 4);
  };
  std::uint32_t translucent = ~pixel(0) & 0xff000000u;
  put(0, pixel(0));
  for (int x = 1; x < width; ++x) {
    const std::uint32_t v = pixel(x);
    const std::uint32_t left = pixel(x - 1);
    translucent |= ~v & 0xff000000u;
    put(x, ((v | kHigh) - (left & ~kHigh)) ^ ((v ^ ~left) & kHigh));
  }
  return translucent == 0;
}

std::uint8_t paeth(int a, int b, int c) {
  const int p = a + b - c;
  const int pa = std::abs(p - a);
  const int pb = std::abs(p - b);
  const int pc = std::abs(p - c);
  if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(a);
  if (pb <= pc) return static_cast<std::uint8_t>(b);
  return static_cast<std::uint8_t>(c);
}

void filterRow(PngFilter filter, const std::uint8_t* cur, const std::uint8_t* prev,
               std::uint8_t* out, std::size_t n) {
  switch (filter) {
    case PngFilter::None:
      std::memcpy(out, cur, n);
      return;
    case PngFilter::Sub:
      std::memcpy(out, cur, 4);
      for (std::size_t i = 4; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(cur[i] - cur[i - 4]);
      return;
    case PngFilter::Up:
      for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>(cur[i] - prev[i]);
      return;
    case PngFilter::Average:
      for (std::size_t i = 0; i < n; ++i) {
        const unsigned left = i >= 4 ? cur[i - 4] : 0;
        out[i] = static_cast<std::uint8_t>(cur[i] - ((left + prev[i]) >> 1));
      }
      return;
    case PngFilter::Paeth:
      for (std::size_t i = 0; i < n; ++i) {
        const int left = i >= 4 ? cur[i - 4] : 0;
        const int upLeft = i >= 4 ? prev[i - 4] : 0;
        out[i] = static_cast<std::uint8_t>(cur[i] - paeth(left, prev[i], upLeft));
      }
      return;
  }
}

struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// Bands of about this many filtered bytes are compressed one after another on each thread: small
// enough that a thread's buffers stay in cache and are reused instead of faulted in afresh, large
// enough that restarting the history costs under 0.1% of the file (bench/region-capture).
constexpr std::size_t kBandBytes = std::size_t{256} << 10;

struct DeflatedBand {
  std::vector<std::uint8_t> bytes;  // raw DEFLATE; carries on into the next band unless last
  std::uint32_t adler = 1;          // of the band's filtered bytes
  std::size_t filteredSize = 0;
};

// One thread's filter and compressor, kept across the bands it takes.
class BandEncoder {
 public:
  BandEncoder(const ImageView& image, PngSettings settings, int rowsPerBand)
      : image_(image),
        settings_(settings),
        rowBytes_(static_cast<std::size_t>(image.width) * 4),
        compressor_(libdeflate_alloc_compressor(settings.level)) {
    if (!compressor_) return;
    const std::size_t filteredSize = (rowBytes_ + 1) * static_cast<std::size_t>(rowsPerBand);
    filtered_ = std::make_unique_for_overwrite<std::uint8_t[]>(filteredSize);
    scratchSize_ = libdeflate_deflate_compress_bound(compressor_.get(), filteredSize);
    scratch_ = std::make_unique_for_overwrite<std::uint8_t[]>(scratchSize_);
    rows_[0].resize(rowBytes_);
    rows_[1].resize(rowBytes_);
  }
  explicit operator bool() const { return compressor_ != nullptr; }

  bool encode(int begin, int end, bool last, DeflatedBand& out) {
    const std::size_t size = filter(begin, end);
    const std::size_t deflated = libdeflate_deflate_compress(compressor_.get(), filtered_.get(),
                                                             size, scratch_.get(), scratchSize_);
    if (deflated == 0) return false;
    out.bytes.reserve(deflated + 5);
    out.bytes.assign(scratch_.get(), scratch_.get() + deflated);
    out.adler = libdeflate_adler32(1, filtered_.get(), size);
    out.filteredSize = size;
    return last || makeContinuable(out.bytes);
  }

 private:
  // Filters rows [begin, end); the row above a band is converted again for the filters that
  // look up.
  std::size_t filter(int begin, int end) {
    std::uint8_t* out = filtered_.get();
    if (settings_.filter == PngFilter::Sub) {
      for (int y = begin; y < end; ++y) {
        *out++ = static_cast<std::uint8_t>(PngFilter::Sub);
        if (!subOpaqueRow(image_.row(y), out, image_.width)) {
          straightRow(image_.row(y), rows_[0].data(), image_.width);
          filterRow(PngFilter::Sub, rows_[0].data(), nullptr, out, rowBytes_);
        }
        out += rowBytes_;
      }
      return static_cast<std::size_t>(out - filtered_.get());
    }
    if (begin > 0) straightRow(image_.row(begin - 1), rows_[(begin + 1) & 1].data(), image_.width);
    for (int y = begin; y < end; ++y) {
      auto& cur = rows_[y & 1];
      auto& prev = rows_[(y + 1) & 1];
      straightRow(image_.row(y), cur.data(), image_.width);
      // The first row has no row above: it counts as zero.
      if (y == 0) std::memset(prev.data(), 0, rowBytes_);
      *out++ = static_cast<std::uint8_t>(settings_.filter);
      filterRow(settings_.filter, cur.data(), prev.data(), out, rowBytes_);
      out += rowBytes_;
    }
    return static_cast<std::size_t>(out - filtered_.get());
  }

  ImageView image_;
  PngSettings settings_;
  std::size_t rowBytes_;
  std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor_;
  std::unique_ptr<std::uint8_t[]> filtered_;
  std::unique_ptr<std::uint8_t[]> scratch_;
  std::size_t scratchSize_ = 0;
  std::vector<std::uint8_t> rows_[2];
};

// Compresses the picture's filtered rows band by band on up to four threads; the bands join into
// one raw DEFLATE stream in order. Empty when any band fails.
std::vector<DeflatedBand> deflateBands(const ImageView& image, PngSettings settings) {
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 4 + 1;
  const int rowsPerBand =
      static_cast<int>(std::clamp<std::size_t>(kBandBytes / rowBytes, 1, image.height));
  const int bandCount = (image.height + rowsPerBand - 1) / rowsPerBand;
  std::vector<DeflatedBand> bands(static_cast<std::size_t>(bandCount));
  // Each band is written by the one thread that took its number; joining hands them back.
  std::atomic<int> nextBand{0};
  std::atomic<bool> failed{false};
  auto work = [&] {
    BandEncoder encoder(image, settings, rowsPerBand);
    if (!encoder) {
      failed = true;
      return;
    }
    for (int b = nextBand++; b < bandCount && !failed; b = nextBand++) {
      const int begin = b * rowsPerBand;
      const int end = std::min(image.height, begin + rowsPerBand);
      if (!encoder.encode(begin, end, b == bandCount - 1, bands[static_cast<std::size_t>(b)])) {
        failed = true;
      }
    }
  };
  const int threads =
      std::min(bandCount, std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4));
  std::vector<std::thread> workers;
  for (int t = 1; t < threads; ++t) {
    try {
      workers.emplace_back(work);
    } catch (const std::system_error&) {
      // No thread to spare (a process limit): the threads already started take every band.
      break;
    }
  }
  work();
  for (auto& worker : workers)
    worker.join();
  if (failed) bands.clear();
  return bands;
}

// The zlib header libdeflate writes for `level`: 32 KiB window, the level's speed class.
std::array<std::uint8_t, 2> zlibHeader(int level) {
  const unsigned speed = level < 2 ? 0 : level < 6 ? 1 : level == 6 ? 2 : 3;
  const unsigned header = 0x7800 | speed << 6;
  const unsigned checked = header + (31 - header % 31) % 31;
  return {static_cast<std::uint8_t>(checked >> 8), static_cast<std::uint8_t>(checked)};
}

// Appends bytes as IDAT chunks of at most kMaxChunk bytes; the total is known beforehand.
class IdatWriter {
 public:
  IdatWriter(std::vector<std::uint8_t>& out, std::size_t total) : out_(out), left_(total) {}

  void write(const std::uint8_t* data, std::size_t size) {
    while (size > 0) {
      if (room_ == 0) open();
      const std::size_t n = std::min(size, room_);
      out_.insert(out_.end(), data, data + n);
      crc_ = libdeflate_crc32(crc_, data, n);
      data += n;
      size -= n;
      room_ -= n;
      left_ -= n;
      if (room_ == 0) putU32(out_, crc_);
    }
  }

 private:
  void open() {
    room_ = std::min<std::size_t>(kMaxChunk, left_);
    putU32(out_, static_cast<std::uint32_t>(room_));
    static constexpr std::uint8_t kType[4] = {'I', 'D', 'A', 'T'};
    out_.insert(out_.end(), kType, kType + 4);
    crc_ = libdeflate_crc32(0, kType, 4);
  }

  std::vector<std::uint8_t>& out_;
  std::size_t left_;
  std::size_t room_ = 0;
  std::uint32_t crc_ = 0;
};

}  // namespace

std::uint32_t pixelsPerMetre(double dotsPerInch) {
  return static_cast<std::uint32_t>(std::lround(dotsPerInch / 0.0254));
}

std::optional<std::vector<std::uint8_t>> encodePng(const ImageView& image, double dotsPerInch,
                                                   PngSettings settings) {
  if (image.width <= 0 || image.height <= 0 || !(dotsPerInch > 0)) return std::nullopt;
  const auto bands = deflateBands(image, settings);
  if (bands.empty()) return std::nullopt;
  const auto zlibStart = zlibHeader(settings.level);
  std::size_t streamSize = zlibStart.size() + 4;
  std::uint32_t adler = 1;
  for (const auto& band : bands) {
    streamSize += band.bytes.size();
    adler = adler32Combine(adler, band.adler, band.filteredSize);
  }

  std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
  out.reserve(streamSize + 128 + streamSize / kMaxChunk * 12);
  std::vector<std::uint8_t> header;
  putU32(header, static_cast<std::uint32_t>(image.width));
  putU32(header, static_cast<std::uint32_t>(image.height));
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, adaptive, no interlace
  putChunk(out, "IHDR", header.data(), header.size());
  std::vector<std::uint8_t> physical;
  const std::uint32_t ppm = pixelsPerMetre(dotsPerInch);
  putU32(physical, ppm);
  putU32(physical, ppm);
  physical.push_back(1);  // the unit is the metre
  putChunk(out, "pHYs", physical.data(), physical.size());
  IdatWriter idat(out, streamSize);
  idat.write(zlibStart.data(), zlibStart.size());
  for (const auto& band : bands)
    idat.write(band.bytes.data(), band.bytes.size());
  const std::array<std::uint8_t, 4> checksum = {
      static_cast<std::uint8_t>(adler >> 24), static_cast<std::uint8_t>(adler >> 16),
      static_cast<std::uint8_t>(adler >> 8), static_cast<std::uint8_t>(adler)};
  idat.write(checksum.data(), checksum.size());
  putChunk(out, "IEND", nullptr, 0);
  return out;
}

}  // namespace orvel::region
