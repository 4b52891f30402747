// The check of a language data file's offset table, over any bytes and any claimed file size.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "traineddata_header.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 8) return 0;
  std::uint64_t claimed = 0;
  std::memcpy(&claimed, data, sizeof claimed);
  const std::span<const std::uint8_t> head(data + 8, size - 8);
  const bool whole = orvel::ocr::readsAsTraineddata(head, head.size());
  // A file can only grow past its header: a size smaller than the bytes read never reads as data.
  if (claimed < head.size() && orvel::ocr::readsAsTraineddata(head, claimed)) std::abort();
  (void)whole;
  return 0;
}
