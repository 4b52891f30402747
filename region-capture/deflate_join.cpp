#include "deflate_join.h"

#include <array>
#include <bit>
#include <cstring>

namespace orvel::region {

namespace {

static_assert(std::endian::native == std::endian::little, "the bit reader loads little-endian");

class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> data) : data_(data) {}

  // At least 57 bits from the current position; zeros past the end.
  std::uint64_t peek() const {
    const std::size_t byte = position_ >> 3;
    std::uint64_t word = 0;
    if (byte + 8 <= data_.size()) {
      std::memcpy(&word, data_.data() + byte, 8);
    } else if (byte < data_.size()) {
      std::memcpy(&word, data_.data() + byte, data_.size() - byte);
    }
    return word >> (position_ & 7);
  }
  std::uint32_t take(int count) {
    const auto value = static_cast<std::uint32_t>(peek() & ((std::uint64_t{1} << count) - 1));
    position_ += static_cast<std::size_t>(count);
    return value;
  }
  void skip(std::size_t count) { position_ += count; }
  void alignToByte() { position_ = (position_ + 7) & ~std::size_t{7}; }
  std::size_t position() const { return position_; }
  bool overran() const { return position_ > data_.size() * 8; }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;
};

// A canonical Huffman code: short codes through one table look-up, longer ones bit by bit.
class Huffman {
 public:
  static constexpr int kFastBits = 10;
  static constexpr int kMaxBits = 15;

  // False when the lengths over-subscribe the code; incomplete codes are allowed, as in zlib.
  bool build(const std::uint8_t* lengths, int symbols) {
    count_.fill(0);
    for (int s = 0; s < symbols; ++s)
      ++count_[lengths[s]];
    count_[0] = 0;
    int left = 1;
    for (int len = 1; len <= kMaxBits; ++len) {
      left = (left << 1) - count_[len];
      if (left < 0) return false;
    }
    std::array<std::uint16_t, kMaxBits + 2> offset{};
    for (int len = 1; len <= kMaxBits; ++len)
      offset[len + 1] = static_cast<std::uint16_t>(offset[len] + count_[len]);
    for (int s = 0; s < symbols; ++s) {
      if (lengths[s]) sorted_[offset[lengths[s]]++] = static_cast<std::uint16_t>(s);
    }
    fast_.fill(0);
    std::array<unsigned, kMaxBits + 1> next{};
    unsigned code = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      code = (code + count_[len - 1]) << 1;
      next[len] = code;
    }
    for (int s = 0; s < symbols; ++s) {
      const int len = lengths[s];
      if (len == 0 || len > kFastBits) continue;
      // Codes are sent from their highest bit first, so the look-up index is the code reversed.
      const unsigned reversed = reverse(next[len]++, len);
      const auto entry = static_cast<std::uint16_t>(s << 4 | len);
      for (unsigned i = reversed; i < (1u << kFastBits); i += 1u << len)
        fast_[i] = entry;
    }
    return true;
  }

  // The next symbol, or -1 for a bit pattern the code does not use.
  int decode(BitReader& in) const {
    const std::uint64_t bits = in.peek();
    if (const std::uint16_t entry = fast_[bits & ((1u << kFastBits) - 1)]) {
      in.skip(entry & 15);
      return entry >> 4;
    }
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxBits; ++len) {
      code |= static_cast<int>(bits >> (len - 1) & 1);
      const int count = count_[len];
      if (code - count < first) {
        in.skip(static_cast<std::size_t>(len));
        return sorted_[static_cast<std::size_t>(index + code - first)];
      }
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return -1;
  }

 private:
  static unsigned reverse(unsigned code, int len) {
    unsigned out = 0;
    for (int i = 0; i < len; ++i, code >>= 1)
      out = out << 1 | (code & 1);
    return out;
  }

  std::array<std::uint16_t, 1 << kFastBits> fast_{};
  std::array<std::uint16_t, kMaxBits + 1> count_{};
  std::array<std::uint16_t, 288> sorted_{};
};

constexpr std::array<std::uint8_t, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                       2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<std::uint8_t, 30> kDistanceExtra = {0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                         4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                         9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Skips the codes of one compressed block, through its end-of-block code.
bool skipCodes(BitReader& in, const Huffman& literals, const Huffman& distances) {
  for (;;) {
    const int symbol = literals.decode(in);
    if (symbol < 256) {
      if (symbol < 0 || in.overran()) return false;
      continue;
    }
    if (symbol == 256) return !in.overran();
    const int length = symbol - 257;
    if (length >= static_cast<int>(kLengthExtra.size())) return false;
    in.skip(kLengthExtra[static_cast<std::size_t>(length)]);
    const int distance = distances.decode(in);
    if (distance < 0 || distance >= static_cast<int>(kDistanceExtra.size())) return false;
    in.skip(kDistanceExtra[static_cast<std::size_t>(distance)]);
    if (in.overran()) return false;
  }
}

bool readDynamicCodes(BitReader& in, Huffman& literals, Huffman& distances) {
  const int literalCount = static_cast<int>(in.take(5)) + 257;
  const int distanceCount = static_cast<int>(in.take(5)) + 1;
  const int lengthCodeCount = static_cast<int>(in.take(4)) + 4;
  if (literalCount > 286 || distanceCount > 30) return false;
  constexpr std::array<std::uint8_t, 19> kOrder = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                   11, 4,  12, 3, 13, 2, 14, 1, 15};
  std::array<std::uint8_t, 19> lengthCodeLengths{};
  for (int i = 0; i < lengthCodeCount; ++i)
    lengthCodeLengths[kOrder[static_cast<std::size_t>(i)]] = static_cast<std::uint8_t>(in.take(3));
  Huffman lengthCode;
  if (!lengthCode.build(lengthCodeLengths.data(), 19)) return false;
  std::array<std::uint8_t, 286 + 30> lengths{};
  const int total = literalCount + distanceCount;
  for (int i = 0; i < total;) {
    const int symbol = lengthCode.decode(in);
    if (symbol < 0) return false;
    if (symbol < 16) {
      lengths[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(symbol);
      continue;
    }
    std::uint8_t value = 0;
    int repeat = 0;
    if (symbol == 16) {
      if (i == 0) return false;
      value = lengths[static_cast<std::size_t>(i - 1)];
      repeat = 3 + static_cast<int>(in.take(2));
    } else if (symbol == 17) {
      repeat = 3 + static_cast<int>(in.take(3));
    } else {
      repeat = 11 + static_cast<int>(in.take(7));
    }
    if (i + repeat > total) return false;
    while (repeat--)
      lengths[static_cast<std::size_t>(i++)] = value;
  }
  if (lengths[256] == 0 || in.overran()) return false;
  return literals.build(lengths.data(), literalCount) &&
         distances.build(lengths.data() + literalCount, distanceCount);
}

void buildFixedCodes(Huffman& literals, Huffman& distances) {
  std::array<std::uint8_t, 288> lengths{};
  for (std::size_t s = 0; s < lengths.size(); ++s)
    lengths[s] = s < 144 ? 8 : s < 256 ? 9 : s < 280 ? 7 : 8;
  literals.build(lengths.data(), 288);
  std::array<std::uint8_t, 30> distanceLengths{};
  distanceLengths.fill(5);
  distances.build(distanceLengths.data(), 30);
}

}  // namespace

std::optional<FinalBlock> findFinalBlock(std::span<const std::uint8_t> stream) {
  BitReader in(stream);
  Huffman literals, distances;
  bool fixedBuilt = false;
  for (;;) {
    const std::size_t header = in.position();
    const bool final = in.take(1) != 0;
    switch (in.take(2)) {
      case 0: {
        in.alignToByte();
        const std::uint32_t length = in.take(16);
        if ((length ^ 0xffff) != in.take(16)) return std::nullopt;
        in.skip(std::size_t{length} * 8);
        break;
      }
      case 1:
        if (!fixedBuilt) buildFixedCodes(literals, distances);
        fixedBuilt = true;
        if (!skipCodes(in, literals, distances)) return std::nullopt;
        break;
      case 2:
        fixedBuilt = false;
        if (!readDynamicCodes(in, literals, distances) || !skipCodes(in, literals, distances)) {
          return std::nullopt;
        }
        break;
      default:
        return std::nullopt;
    }
    if (in.overran()) return std::nullopt;
    if (final) return FinalBlock{header, in.position()};
  }
}

bool makeContinuable(std::vector<std::uint8_t>& stream) {
  const auto block = findFinalBlock(stream);
  if (!block || (block->endBit + 7) / 8 != stream.size()) return false;
  stream[block->headerBit >> 3] &= static_cast<std::uint8_t>(~(1u << (block->headerBit & 7)));
  if (block->endBit & 7)
    stream.back() &= static_cast<std::uint8_t>((1u << (block->endBit & 7)) - 1);
  // An empty stored block: three zero header bits, zero padding to the byte, LEN 0 and NLEN.
  stream.resize((block->endBit + 3 + 7) / 8, 0);
  stream.insert(stream.end(), {0x00, 0x00, 0xff, 0xff});
  return true;
}

std::uint32_t adler32Combine(std::uint32_t first, std::uint32_t second, std::size_t secondSize) {
  constexpr std::uint32_t kBase = 65521;
  const auto remainder = static_cast<std::uint32_t>(secondSize % kBase);
  std::uint32_t sum1 = first & 0xffff;
  std::uint32_t sum2 = static_cast<std::uint32_t>((std::uint64_t{remainder} * sum1) % kBase);
  sum1 += (second & 0xffff) + kBase - 1;
  sum2 += (first >> 16) + (second >> 16) + kBase - remainder;
  if (sum1 >= kBase) sum1 -= kBase;
  if (sum1 >= kBase) sum1 -= kBase;
  if (sum2 >= 2 * kBase) sum2 -= 2 * kBase;
  if (sum2 >= kBase) sum2 -= kBase;
  return sum1 | sum2 << 16;
}

}  // namespace orvel::region
