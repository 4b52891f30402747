// Rewrites arbitrary bytes as a plain BMP when they claim to be a run-length or core-header one,
// and reads the result with Leptonica: the rewrite must have the size its header states, and
// Leptonica must take it as a picture of that size.
#include <leptonica/allheaders.h>

#include <cstdint>
#include <cstdlib>
#include <span>

#include "plain_bmp.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool quiet = [] {
    setMsgSeverity(L_SEVERITY_NONE);
    return true;
  }();
  (void)quiet;
  const std::span<const std::uint8_t> file(data, size);
  const auto plain = orvel::ocr::plainBmp(file);
  if (!plain) return 0;
  if (!orvel::ocr::needsPlainBmp(file)) std::abort();
  const std::uint32_t stated = (*plain)[2] | (*plain)[3] << 8 | (*plain)[4] << 16 |
                               static_cast<std::uint32_t>((*plain)[5]) << 24;
  if (stated != plain->size()) std::abort();
  Pix* pix = pixReadMemBmp(plain->data(), plain->size());
  if (pix == nullptr) std::abort();
  pixDestroy(&pix);
  return 0;
}
