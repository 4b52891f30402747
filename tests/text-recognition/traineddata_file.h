// Language data files made up for tests: an offset table and the given entries' bytes.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace orvel::ocr::testing {

// `entries` by their index in the table, which has `count` offsets, in little- or big-endian order.
inline std::vector<std::uint8_t> traineddataOf(const std::map<std::uint32_t, std::string>& entries,
                                               std::uint32_t count = 24, bool bigEndian = false) {
  std::vector<std::uint8_t> file;
  const auto put = [&](std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
      const int shift = 8 * (bigEndian ? bytes - 1 - i : i);
      file.push_back(static_cast<std::uint8_t>(value >> shift));
    }
  };
  put(count, 4);
  std::uint64_t at = 4 + 8 * std::uint64_t{count};
  std::string body;
  for (std::uint32_t i = 0; i < count; ++i) {
    const auto entry = entries.find(i);
    put(entry == entries.end() ? ~std::uint64_t{0} : at + body.size(), 8);
    if (entry != entries.end()) body += entry->second;
  }
  file.insert(file.end(), body.begin(), body.end());
  return file;
}

}  // namespace orvel::ocr::testing
