// Joins raw DEFLATE streams compressed separately into one stream, so that bands of a picture can
// be compressed on separate threads and still form the single zlib stream a PNG holds. libdeflate
// always ends its output with a final block; the join finds that block's header, clears its final
// bit and byte-aligns the end with an empty stored block, as a zlib sync flush does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace orvel::region {

// Bit positions (counted from the first byte's lowest bit) in a raw DEFLATE stream.
struct FinalBlock {
  std::size_t headerBit = 0;  // the final block's BFINAL bit
  std::size_t endBit = 0;     // just past its end-of-block code
};

// Walks the blocks of `stream`, decoding its codes without inflating the data. None when the
// stream is malformed or has no final block within its size.
std::optional<FinalBlock> findFinalBlock(std::span<const std::uint8_t> stream);

// Turns a whole raw DEFLATE stream into one that carries on: clears the final bit and appends an
// empty, non-final stored block so the next stream starts on a byte boundary. False (and `stream`
// unchanged) when the stream cannot be walked.
bool makeContinuable(std::vector<std::uint8_t>& stream);

// The Adler-32 of two pieces one after the other, from each piece's own checksum.
std::uint32_t adler32Combine(std::uint32_t first, std::uint32_t second, std::size_t secondSize);

}  // namespace orvel::region
