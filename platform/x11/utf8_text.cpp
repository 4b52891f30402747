#include "platform/x11/utf8_text.h"

#include <cstdint>

namespace orvel::x11 {

std::string toUtf8(std::string_view bytes, bool latin1) {
  std::string out;
  out.reserve(bytes.size());
  if (latin1) {
    for (unsigned char ch : bytes) {
      if (ch < 0x80) {
        out.push_back(static_cast<char>(ch));
      } else {
        out.push_back(static_cast<char>(0xC0 | (ch >> 6)));
        out.push_back(static_cast<char>(0x80 | (ch & 0x3F)));
      }
    }
    return out;
  }
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char b = s[i];
    std::size_t len = 0;
    std::uint32_t cp = 0;
    if (b < 0x80) {
      len = 1;
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      len = 2;
      cp = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
      len = 3;
      cp = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
      len = 4;
      cp = b & 0x07;
    }
    bool valid = len > 0 && i + len <= n;
    for (std::size_t j = 1; valid && j < len; ++j) {
      valid = (s[i + j] & 0xC0) == 0x80;
      cp = (cp << 6) | (s[i + j] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8 either.
    static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) {
      valid = false;
    }
    if (valid) {
      out.append(bytes.substr(i, len));
      i += len;
    } else {
      out.append("\xEF\xBF\xBD");
      i += 1;
    }
  }
  return out;
}

}  // namespace orvel::x11
