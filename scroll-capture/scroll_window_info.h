// One entry of the window server's on-screen list, read from its window dictionary.
#pragma once

#include <cstdint>
#include <optional>

#include "orvel/common/geometry.h"
#include "orvel/common/json_text.h"

namespace orvel::scroll {

struct ScrollWindowInfo {
  std::uint32_t id = 0;
  std::int32_t ownerPID = 0;
  Rect bounds;  // global display coordinates
  std::int64_t layer = 0;
  double alpha = 1.0;
  std::optional<bool> onscreen;
  std::optional<std::int64_t> sharingState;

  // Nothing when the number, the owner or readable bounds are missing or of another type; a
  // missing layer reads as 0 and a missing alpha as 1.
  static std::optional<ScrollWindowInfo> make(const Json& dictionary);
};

// The rectangle of a dictionary's bounds entry; the null rectangle when it is missing or
// malformed (such a window then matches no region and no target).
Rect windowRect(const Json& dictionary);

// Reads of window-dictionary values: a number converted the way the window server's numbers
// convert (wrapping to the width asked for), nothing for another type.
std::optional<std::uint32_t> readUInt32(const Json& dictionary, const char* key);
std::optional<std::int32_t> readInt32(const Json& dictionary, const char* key);
std::optional<std::int64_t> readInt64(const Json& dictionary, const char* key);
std::optional<double> readDouble(const Json& dictionary, const char* key);
std::optional<std::string> readString(const Json& dictionary, const char* key);
std::optional<Rect> readBounds(const Json& dictionary, const char* key);

}  // namespace orvel::scroll
