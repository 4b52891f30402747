#include <gtest/gtest.h>
#include <libdeflate.h>

#include <cstring>
#include <memory>
#include <random>

#include "deflate_join.h"

namespace orvel::region::testing {
namespace {

struct CompressorDeleter {
  void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

std::vector<std::uint8_t> deflate(const std::vector<std::uint8_t>& data, int level) {
  std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
      libdeflate_alloc_compressor(level));
  std::vector<std::uint8_t> out(libdeflate_deflate_compress_bound(compressor.get(), data.size()));
  out.resize(libdeflate_deflate_compress(compressor.get(), data.data(), data.size(), out.data(),
                                         out.size()));
  return out;
}

std::vector<std::uint8_t> inflate(const std::vector<std::uint8_t>& stream, std::size_t size) {
  libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
  std::vector<std::uint8_t> out(size + 1);
  std::size_t inflated = 0;
  const auto result = libdeflate_deflate_decompress(decompressor, stream.data(), stream.size(),
                                                    out.data(), out.size(), &inflated);
  libdeflate_free_decompressor(decompressor);
  if (result != LIBDEFLATE_SUCCESS) return {};
  out.resize(inflated);
  return out;
}

// Pieces that make libdeflate choose each block type: stored for noise, fixed codes for a few
// bytes, dynamic codes for text-like runs and long repeats.
std::vector<std::vector<std::uint8_t>> pieces() {
  std::mt19937 random(7);
  std::vector<std::uint8_t> noise(200'000);
  for (auto& b : noise)
    b = static_cast<std::uint8_t>(random());
  std::vector<std::uint8_t> words;
  const char* vocabulary[] = {"pixel ", "window ", "capture ", "region ", "screen "};
  while (words.size() < 300'000) {
    const char* w = vocabulary[random() % 5];
    words.insert(words.end(), w, w + std::strlen(w));
    if (random() % 9 == 0) words.push_back(static_cast<std::uint8_t>(random()));
  }
  std::vector<std::uint8_t> flat(150'000, 0x42);
  std::vector<std::uint8_t> few = {1, 2, 3, 1, 2, 3, 9};
  return {noise, words, flat, few, words, noise};
}

TEST(DeflateJoin, StreamsCompressedApartInflateAsOne) {
  const auto parts = pieces();
  for (int level : {1, 2, 6, 12}) {
    std::vector<std::uint8_t> joined, expected;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      auto stream = deflate(parts[i], level);
      ASSERT_FALSE(stream.empty());
      // Each piece on its own ends with its final block exactly at its last byte.
      const auto block = findFinalBlock(stream);
      ASSERT_TRUE(block) << "level " << level << " piece " << i;
      EXPECT_EQ((block->endBit + 7) / 8, stream.size());
      EXPECT_TRUE(stream[block->headerBit / 8] >> (block->headerBit % 8) & 1);
      if (i + 1 < parts.size()) {
        ASSERT_TRUE(makeContinuable(stream));
      }
      joined.insert(joined.end(), stream.begin(), stream.end());
      expected.insert(expected.end(), parts[i].begin(), parts[i].end());
    }
    EXPECT_EQ(inflate(joined, expected.size()), expected) << "level " << level;
  }
}

TEST(DeflateJoin, AContinuableStreamNoLongerEndsTheData) {
  auto stream = deflate(pieces()[1], 2);
  ASSERT_TRUE(makeContinuable(stream));
  // Without a following stream the decoder runs out of input instead of finishing.
  EXPECT_TRUE(inflate(stream, 300'100).empty());
  EXPECT_EQ(std::vector<std::uint8_t>(stream.end() - 4, stream.end()),
            (std::vector<std::uint8_t>{0x00, 0x00, 0xff, 0xff}));
}

TEST(DeflateJoin, MalformedStreamsAreRefusedAndLeftAsTheyWere) {
  const auto whole = deflate(pieces()[1], 2);
  std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + whole.size() / 2);
  EXPECT_FALSE(findFinalBlock(cut));
  const auto before = cut;
  EXPECT_FALSE(makeContinuable(cut));
  EXPECT_EQ(cut, before);
  // Block type 3 does not exist.
  EXPECT_FALSE(findFinalBlock(std::vector<std::uint8_t>{0x07, 0x00}));
  // A stored block whose length check does not match.
  EXPECT_FALSE(findFinalBlock(std::vector<std::uint8_t>{0x01, 0x02, 0x00, 0x00, 0x00, 'a', 'b'}));
  EXPECT_FALSE(findFinalBlock(std::vector<std::uint8_t>{}));
}

TEST(DeflateJoin, AdlerOfPiecesCombinesToTheWhole) {
  const auto parts = pieces();
  std::vector<std::uint8_t> all;
  std::uint32_t combined = 1;
  for (const auto& part : parts) {
    all.insert(all.end(), part.begin(), part.end());
    combined =
        adler32Combine(combined, libdeflate_adler32(1, part.data(), part.size()), part.size());
    EXPECT_EQ(combined, libdeflate_adler32(1, all.data(), all.size()));
  }
  // An empty second piece changes nothing.
  EXPECT_EQ(adler32Combine(combined, 1, 0), combined);
}

}  // namespace
}  // namespace orvel::region::testing
