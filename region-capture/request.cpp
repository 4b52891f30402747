#include "request.h"

#include <cmath>
#include <limits>

namespace orvel::region {

namespace {

std::int64_t readId(const Json& object) {
  auto it = object.find("id");
  if (it == object.end() || !it->is_number()) return 0;
  if (it->is_number_integer() && !it->is_number_unsigned()) return it->get<std::int64_t>();
  if (it->is_number_unsigned()) {
    const auto value = it->get<std::uint64_t>();
    constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
    return static_cast<std::int64_t>(std::min(value, kMax));
  }
  const double value = std::trunc(it->get<double>());
  // 2^63 is the first double past the range; converting it would be undefined.
  constexpr double kLimit = 9223372036854775808.0;
  if (value >= kLimit) return std::numeric_limits<std::int64_t>::max();
  if (value < -kLimit) return std::numeric_limits<std::int64_t>::min();
  return static_cast<std::int64_t>(value);
}

std::optional<std::string> readString(const Json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return it->get<std::string>();
}

}  // namespace

Request readRequest(const Json& object) {
  return {readId(object), readString(object, "command"), readString(object, "path")};
}

}  // namespace orvel::region
