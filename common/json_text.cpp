#include "orvel/common/json_text.h"

#include <cmath>

namespace orvel {

std::optional<Json> parseJson(std::string_view text) {
  // The parser takes a NUL for the end of its input and would accept a valid head followed by
  // anything; JSON text never holds a raw NUL.
  if (text.find('\0') != std::string_view::npos) return std::nullopt;
  Json value = Json::parse(text.begin(), text.end(), nullptr, /*allow_exceptions=*/false);
  if (value.is_discarded()) return std::nullopt;
  return value;
}

namespace {
bool allNumbersFinite(const Json& value) {
  if (value.is_number_float()) return std::isfinite(value.get<double>());
  if (value.is_structured()) {
    for (const auto& item : value) {
      if (!allNumbersFinite(item)) return false;
    }
  }
  return true;
}
}  // namespace

std::optional<std::string> encodeJson(const Json& value) {
  if (!allNumbersFinite(value)) return std::nullopt;
  try {
    return value.dump(-1, ' ', false, Json::error_handler_t::strict);
  } catch (const Json::exception&) {
    return std::nullopt;
  }
}

}  // namespace orvel
