// Whether a file holds Tesseract language data that the LSTM engine can load, judged from its
// offset table alone: an entry count, then one 64-bit offset per entry (-1 for an absent entry).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace orvel::ocr {

// Bytes of the header that decide: the count and the largest offset table the engine accepts.
inline constexpr std::size_t kTraineddataHeaderBytes = 4 + 8 * 1000;

// `head` is the file's first bytes (up to kTraineddataHeaderBytes), `fileSize` its whole length.
// True when the table fits the file, its entries follow one another inside it, and the LSTM model
// is among them; an empty, truncated or foreign file reads false.
bool readsAsTraineddata(std::span<const std::uint8_t> head, std::uint64_t fileSize);

}  // namespace orvel::ocr
