// PNG files written by hand for the tests and fuzz targets that need pictures libpng would not
// write (every colour type and depth, rows split across chunks): one chunk at a time.
#pragma once

#include <zlib.h>

#include <cstdint>
#include <string>

namespace orvel::ocr::testing {

// Appends the chunk `type` (four letters) holding `data` to `file`: its length, type, data and CRC.
inline void appendPngChunk(std::string& file, const char* type, const std::string& data) {
  const auto be32 = [&file](std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
      file += static_cast<char>(v >> shift & 0xff);
  };
  be32(static_cast<std::uint32_t>(data.size()));
  const std::string body = std::string(type, 4) + data;
  file += body;
  be32(static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
}

}  // namespace orvel::ocr::testing
