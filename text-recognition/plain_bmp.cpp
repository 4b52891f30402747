#include "plain_bmp.h"

#include <algorithm>

#include "image_limits.h"

namespace orvel::ocr {
namespace {

constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kCoreHeaderBytes = 12;
constexpr std::uint32_t kInfoHeaderBytes = 40;
constexpr std::uint32_t kRle8 = 1;
constexpr std::uint32_t kRle4 = 2;

std::uint32_t le(std::span<const std::uint8_t> bytes, std::size_t at, int size) {
  std::uint32_t value = 0;
  for (int i = size - 1; i >= 0; --i)
    value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
  return value;
}

void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int size) {
  for (int i = 0; i < size; ++i)
    out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

struct Layout {
  std::uint32_t headerBytes = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;  // rows stored bottom first
  std::uint32_t bits = 0;
  std::uint32_t compression = 0;
  std::uint32_t dataOffset = 0;
  std::uint32_t colours = 0;  // palette entries stated by the header; 0 for all of them
};

std::optional<Layout> layoutOf(std::span<const std::uint8_t> file) {
  if (file.size() < kFileHeaderBytes + kCoreHeaderBytes || file[0] != 'B' || file[1] != 'M') {
    return std::nullopt;
  }
  Layout layout;
  layout.dataOffset = le(file, 10, 4);
  layout.headerBytes = le(file, 14, 4);
  if (layout.headerBytes == kCoreHeaderBytes) {
    layout.width = le(file, 18, 2);
    layout.height = le(file, 20, 2);
    layout.bits = le(file, 24, 2);
    return layout;
  }
  if (layout.headerBytes < kInfoHeaderBytes || file.size() < kFileHeaderBytes + kInfoHeaderBytes) {
    return std::nullopt;
  }
  const auto width = static_cast<std::int32_t>(le(file, 18, 4));
  const auto height = static_cast<std::int32_t>(le(file, 22, 4));
  // Run-length pictures are stored bottom row first, so a negative height is not one.
  if (width <= 0 || height <= 0) return std::nullopt;
  layout.width = static_cast<std::uint32_t>(width);
  layout.height = static_cast<std::uint32_t>(height);
  layout.bits = le(file, 28, 2);
  layout.compression = le(file, 30, 4);
  layout.colours = le(file, 46, 4);
  return layout;
}

bool isCore(const Layout& layout) {
  return layout.headerBytes == kCoreHeaderBytes;
}

bool isRle(const Layout& layout) {
  return (layout.compression == kRle8 && layout.bits == 8) ||
         (layout.compression == kRle4 && layout.bits == 4);
}

std::size_t rowBytes(std::uint32_t width, std::uint32_t bits) {
  return (static_cast<std::size_t>(width) * bits + 31) / 32 * 4;
}

// A 40-byte-header file of the given size and depth, with a palette of `paletteEntries`
// four-byte entries to follow.
std::vector<std::uint8_t> plainHeader(const Layout& layout, std::uint32_t bits,
                                      std::uint32_t paletteEntries) {
  const std::size_t rows = rowBytes(layout.width, bits) * layout.height;
  const std::size_t offset = kFileHeaderBytes + kInfoHeaderBytes + 4 * paletteEntries;
  std::vector<std::uint8_t> out;
  out.reserve(offset + rows);
  out.push_back('B');
  out.push_back('M');
  putLe(out, static_cast<std::uint32_t>(std::min<std::size_t>(offset + rows, UINT32_MAX)), 4);
  putLe(out, 0, 4);
  putLe(out, static_cast<std::uint32_t>(offset), 4);
  putLe(out, kInfoHeaderBytes, 4);
  putLe(out, layout.width, 4);
  putLe(out, layout.height, 4);
  putLe(out, 1, 2);
  putLe(out, bits, 2);
  putLe(out, 0, 4);  // uncompressed
  putLe(out, static_cast<std::uint32_t>(std::min<std::size_t>(rows, UINT32_MAX)), 4);
  putLe(out, 2835, 4);  // 72 pixels an inch, as the engine is told the resolution itself
  putLe(out, 2835, 4);
  putLe(out, paletteEntries, 4);
  putLe(out, 0, 4);
  return out;
}

// The palette after the header, `entryBytes` (3 or 4) a colour, as `count` four-byte entries;
// colours the file lacks are black.
void appendPalette(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> file,
                   std::size_t at, std::size_t available, int entryBytes, std::uint32_t count) {
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t entry = at + static_cast<std::size_t>(i) * entryBytes;
    const bool present = i < available && entry + 3 <= file.size();
    for (int c = 0; c < 3; ++c)
      out.push_back(present ? file[entry + static_cast<std::size_t>(c)] : 0);
    out.push_back(0);
  }
}

std::optional<std::vector<std::uint8_t>> plainOfCore(std::span<const std::uint8_t> file,
                                                     const Layout& layout) {
  const std::uint32_t bits = layout.bits;
  if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return std::nullopt;
  if (layout.width == 0 || layout.height == 0) return std::nullopt;
  const std::size_t paletteAt = kFileHeaderBytes + kCoreHeaderBytes;
  if (layout.dataOffset < paletteAt || layout.dataOffset > file.size()) return std::nullopt;
  const std::size_t rows = rowBytes(layout.width, bits) * layout.height;
  if (file.size() - layout.dataOffset < rows) return std::nullopt;
  const std::uint32_t colours = bits <= 8 ? 1u << bits : 0;
  std::vector<std::uint8_t> out = plainHeader(layout, bits, colours);
  appendPalette(out, file, paletteAt, (layout.dataOffset - paletteAt) / 3, 3, colours);
  const auto data = file.begin() + layout.dataOffset;
  out.insert(out.end(), data, data + static_cast<std::ptrdiff_t>(rows));
  return out;
}

// Decodes the runs into rows of one index a pixel, bottom row first as stored.
class RunDecoder {
 public:
  RunDecoder(const Layout& layout, std::vector<std::uint8_t>& out, std::size_t rowsAt)
      : width_(layout.width),
        height_(layout.height),
        stride_(rowBytes(layout.width, 8)),
        four_(layout.bits == 4),
        out_(out),
        rowsAt_(rowsAt) {}

  bool decode(std::span<const std::uint8_t> runs) {
    std::size_t at = 0;
    while (at + 2 <= runs.size() && row_ < height_) {
      const std::uint8_t count = runs[at];
      const std::uint8_t value = runs[at + 1];
      at += 2;
      if (count > 0) {
        for (std::uint32_t i = 0; i < count; ++i)
          put(four_ ? (i % 2 == 0 ? value >> 4 : value & 0x0f) : value);
        continue;
      }
      if (value == 0) {  // end of the row
        ++row_;
        column_ = 0;
      } else if (value == 1) {  // end of the picture
        return true;
      } else if (value == 2) {  // move right and up
        if (at + 2 > runs.size()) return false;
        column_ += runs[at];
        row_ += runs[at + 1];
        at += 2;
      } else {  // `value` indices as they are, padded to an even number of bytes
        const std::size_t bytes = four_ ? (value + 1u) / 2 : value;
        if (at + bytes > runs.size()) return false;
        for (std::uint32_t i = 0; i < value; ++i) {
          const std::uint8_t byte = runs[at + (four_ ? i / 2 : i)];
          put(four_ ? (i % 2 == 0 ? byte >> 4 : byte & 0x0f) : byte);
        }
        at += bytes + bytes % 2;
      }
    }
    // Pictures that end without their end mark keep what they drew, as viewers show them.
    return true;
  }

 private:
  void put(int index) {
    if (row_ < height_ && column_ < width_) {
      out_[rowsAt_ + row_ * stride_ + column_] = static_cast<std::uint8_t>(index);
    }
    ++column_;
  }

  std::size_t width_;
  std::size_t height_;
  std::size_t stride_;
  bool four_;
  std::vector<std::uint8_t>& out_;
  std::size_t rowsAt_;
  std::size_t row_ = 0;
  std::size_t column_ = 0;
};

std::optional<std::vector<std::uint8_t>> plainOfRuns(std::span<const std::uint8_t> file,
                                                     const Layout& layout) {
  const std::size_t paletteAt = kFileHeaderBytes + layout.headerBytes;
  if (paletteAt > file.size() || layout.dataOffset < paletteAt || layout.dataOffset > file.size()) {
    return std::nullopt;
  }
  const std::uint32_t stated = layout.colours == 0 ? 1u << layout.bits : layout.colours;
  const std::size_t available = std::min<std::size_t>(stated, (layout.dataOffset - paletteAt) / 4);
  // Every index a run can name has a colour.
  std::vector<std::uint8_t> out = plainHeader(layout, 8, 256);
  appendPalette(out, file, paletteAt, available, 4, 256);
  const std::size_t rowsAt = out.size();
  out.resize(rowsAt + rowBytes(layout.width, 8) * layout.height, 0);
  RunDecoder decoder(layout, out, rowsAt);
  if (!decoder.decode(file.subspan(layout.dataOffset))) return std::nullopt;
  return out;
}

}  // namespace

bool needsPlainBmp(std::span<const std::uint8_t> file) {
  const std::optional<Layout> layout = layoutOf(file);
  return layout && (isCore(*layout) || isRle(*layout));
}

std::optional<std::vector<std::uint8_t>> plainBmp(std::span<const std::uint8_t> file) {
  const std::optional<Layout> layout = layoutOf(file);
  if (!layout || !withinImageLimits(layout->width, layout->height, /*streamed=*/false)) {
    return std::nullopt;
  }
  if (isCore(*layout)) return plainOfCore(file, *layout);
  if (isRle(*layout)) return plainOfRuns(file, *layout);
  return std::nullopt;
}

}  // namespace orvel::ocr
