#include "png_encoder.h"

#include "pixel_buffer.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
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

}  // namespace

std::uint32_t pixelsPerMetre(double dotsPerInch) {
  return static_cast<std::uint32_t>(std::lround(dotsPerInch / 0.0254));
}

std::optional<std::vector<std::uint8_t>> encodePng(const ImageView& image, double dotsPerInch,
                                                   PngSettings settings) {
  if (image.width <= 0 || image.height <= 0 || !(dotsPerInch > 0)) return std::nullopt;
  const std::size_t rowBytes = static_cast<std::size_t>(image.width) * 4;
  const std::size_t filteredSize = (rowBytes + 1) * static_cast<std::size_t>(image.height);

  // The filtered rows, then one zlib stream over all of them. Rows are filtered in bands on
  // separate threads; each band recomputes the row above it.
  PixelBuffer filtered(filteredSize);
  if (!filtered) return std::nullopt;
  auto filterBand = [&](int begin, int end) {
    std::vector<std::uint8_t> rows[2] = {std::vector<std::uint8_t>(rowBytes),
                                         std::vector<std::uint8_t>(rowBytes)};
    if (begin > 0) straightRow(image.row(begin - 1), rows[(begin + 1) & 1].data(), image.width);
    for (int y = begin; y < end; ++y) {
      auto& cur = rows[y & 1];
      auto& prev = rows[(y + 1) & 1];
      straightRow(image.row(y), cur.data(), image.width);
      // The first row has no row above: it counts as zero.
      if (y == 0) std::memset(prev.data(), 0, rowBytes);
      std::uint8_t* out = filtered.data() + static_cast<std::size_t>(y) * (rowBytes + 1);
      out[0] = static_cast<std::uint8_t>(settings.filter);
      filterRow(settings.filter, cur.data(), prev.data(), out + 1, rowBytes);
    }
  };
  const int bands = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 4);
  std::vector<std::thread> workers;
  for (int b = 1; b < bands; ++b) {
    workers.emplace_back(filterBand, image.height * b / bands, image.height * (b + 1) / bands);
  }
  filterBand(0, image.height / bands);
  for (auto& worker : workers)
    worker.join();

  std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
      libdeflate_alloc_compressor(settings.level));
  if (!compressor) return std::nullopt;
  PixelBuffer compressed(libdeflate_zlib_compress_bound(compressor.get(), filteredSize));
  if (!compressed) return std::nullopt;
  const std::size_t compressedSize = libdeflate_zlib_compress(
      compressor.get(), filtered.data(), filteredSize, compressed.data(), compressed.size());
  if (compressedSize == 0) return std::nullopt;
  filtered = PixelBuffer();

  std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
  out.reserve(compressedSize + 128 + compressedSize / kMaxChunk * 12);
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
  for (std::size_t at = 0; at < compressedSize; at += kMaxChunk) {
    putChunk(out, "IDAT", compressed.data() + at,
             std::min<std::size_t>(kMaxChunk, compressedSize - at));
  }
  putChunk(out, "IEND", nullptr, 0);
  return out;
}

}  // namespace orvel::region
