#include "traineddata_header.h"

namespace orvel::ocr {
namespace {

constexpr std::uint32_t kMaxEntries = 1000;
// The entry of the LSTM model in the table, and the one after the last entry this engine reads.
constexpr std::uint32_t kLstmEntry = 17;
constexpr std::uint32_t kKnownEntries = 24;

// The engine writes the table in its machine's byte order and reads a count above kMaxEntries as
// the other order.
std::uint64_t read(std::span<const std::uint8_t> bytes, std::size_t at, int size, bool swapped) {
  std::uint64_t value = 0;
  for (int i = 0; i < size; ++i) {
    const std::uint8_t byte = bytes[at + (swapped ? i : size - 1 - i)];
    value = value << 8 | byte;
  }
  return value;
}

}  // namespace

bool readsAsTraineddata(std::span<const std::uint8_t> head, std::uint64_t fileSize) {
  if (head.size() < 4 || fileSize < head.size()) return false;
  bool swapped = false;
  std::uint64_t count = read(head, 0, 4, false);
  if (count > kMaxEntries) {
    swapped = true;
    count = read(head, 0, 4, true);
  }
  if (count == 0 || count > kMaxEntries) return false;
  const std::uint64_t tableEnd = 4 + 8 * count;
  if (head.size() < tableEnd || fileSize < tableEnd) return false;
  std::uint64_t previous = tableEnd;
  bool hasLstm = false;
  for (std::uint32_t i = 0; i < count && i < kKnownEntries; ++i) {
    const auto offset = static_cast<std::int64_t>(read(head, 4 + 8 * i, 8, swapped));
    if (offset == -1) continue;
    if (offset < static_cast<std::int64_t>(previous) ||
        static_cast<std::uint64_t>(offset) > fileSize) {
      return false;
    }
    // An entry runs up to the next present one, or to the end of the file.
    if (i == kLstmEntry) {
      std::uint64_t end = fileSize;
      for (std::uint32_t j = i + 1; j < count; ++j) {
        const auto next = static_cast<std::int64_t>(read(head, 4 + 8 * j, 8, swapped));
        if (next != -1) {
          end = static_cast<std::uint64_t>(next);
          break;
        }
      }
      hasLstm = end > static_cast<std::uint64_t>(offset);
    }
    previous = static_cast<std::uint64_t>(offset);
  }
  return hasLstm;
}

}  // namespace orvel::ocr
