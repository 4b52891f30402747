// JSON text in and out for the line protocols.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace orvel {

using Json = nlohmann::json;

// Parses the whole of `text`; nullopt when it is not valid JSON (a raw NUL anywhere included).
// Never throws.
std::optional<Json> parseJson(std::string_view text);

// Compact JSON text of `value`; nullopt when it cannot be encoded (a number that is not finite or a
// string that is not valid UTF-8). Never throws.
std::optional<std::string> encodeJson(const Json& value);

}  // namespace orvel
