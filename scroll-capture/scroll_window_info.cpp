#include "scroll_window_info.h"

#include <cmath>

#include "platform/window_server.h"

namespace orvel::scroll {

namespace {

const Json* lookup(const Json& dictionary, const char* key) {
  if (!dictionary.is_object()) return nullptr;
  auto it = dictionary.find(key);
  return it == dictionary.end() ? nullptr : &*it;
}

// Integer value of a JSON number, wrapped to 64 bits; fractions truncate toward zero.
std::optional<std::uint64_t> integerBits(const Json* value) {
  if (!value) return std::nullopt;
  if (value->is_number_unsigned()) return value->get<std::uint64_t>();
  if (value->is_number_integer()) return static_cast<std::uint64_t>(value->get<std::int64_t>());
  if (value->is_number_float()) {
    const double d = value->get<double>();
    if (!std::isfinite(d) || std::fabs(d) >= 9.2e18) return std::nullopt;
    return static_cast<std::uint64_t>(static_cast<std::int64_t>(d));
  }
  if (value->is_boolean()) return value->get<bool>() ? 1 : 0;
  return std::nullopt;
}

}  // namespace

std::optional<std::uint32_t> readUInt32(const Json& dictionary, const char* key) {
  auto bits = integerBits(lookup(dictionary, key));
  if (!bits) return std::nullopt;
  return static_cast<std::uint32_t>(*bits);
}

std::optional<std::int32_t> readInt32(const Json& dictionary, const char* key) {
  auto bits = integerBits(lookup(dictionary, key));
  if (!bits) return std::nullopt;
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(*bits));
}

std::optional<std::int64_t> readInt64(const Json& dictionary, const char* key) {
  auto bits = integerBits(lookup(dictionary, key));
  if (!bits) return std::nullopt;
  return static_cast<std::int64_t>(*bits);
}

std::optional<double> readDouble(const Json& dictionary, const char* key) {
  const Json* value = lookup(dictionary, key);
  if (!value) return std::nullopt;
  if (value->is_number()) return value->get<double>();
  if (value->is_boolean()) return value->get<bool>() ? 1.0 : 0.0;
  return std::nullopt;
}

std::optional<std::string> readString(const Json& dictionary, const char* key) {
  const Json* value = lookup(dictionary, key);
  if (!value || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

std::optional<Rect> readBounds(const Json& dictionary, const char* key) {
  const Json* value = lookup(dictionary, key);
  if (!value || !value->is_object()) return std::nullopt;
  auto x = readDouble(*value, "X");
  auto y = readDouble(*value, "Y");
  auto w = readDouble(*value, "Width");
  auto h = readDouble(*value, "Height");
  if (!x || !y || !w || !h) return std::nullopt;
  return Rect{*x, *y, *w, *h};
}

std::optional<ScrollWindowInfo> ScrollWindowInfo::make(const Json& dictionary) {
  auto id = readUInt32(dictionary, platform::kCGWindowNumber);
  if (!id) return std::nullopt;
  auto owner = readInt32(dictionary, platform::kCGWindowOwnerPID);
  if (!owner) return std::nullopt;
  auto bounds = readBounds(dictionary, platform::kCGWindowBounds);
  if (!bounds) return std::nullopt;
  ScrollWindowInfo info;
  info.id = *id;
  info.ownerPID = *owner;
  info.bounds = *bounds;
  info.layer = readInt64(dictionary, platform::kCGWindowLayer).value_or(0);
  info.alpha = readDouble(dictionary, platform::kCGWindowAlpha).value_or(1.0);
  if (auto on = readInt64(dictionary, platform::kCGWindowIsOnscreen)) info.onscreen = *on != 0;
  info.sharingState = readInt64(dictionary, platform::kCGWindowSharingState);
  return info;
}

Rect windowRect(const Json& dictionary) {
  return readBounds(dictionary, platform::kCGWindowBounds).value_or(Rect::null());
}

}  // namespace orvel::scroll
