#include "output.h"

#include <nlohmann/json.hpp>

namespace orvel::ocr {

std::optional<std::string> encode(const Output& output) {
  nlohmann::json object = nlohmann::json::object();
  if (output.text) object["text"] = *output.text;
  if (output.languages) {
    nlohmann::json list = nlohmann::json::array();
    for (const Language& language : *output.languages) {
      list.push_back({{"tag", language.tag}, {"name", language.name}});
    }
    object["languages"] = std::move(list);
  }
  if (output.error) object["error"] = *output.error;
  try {
    return object.dump();
  } catch (const nlohmann::json::type_error&) {
    return std::nullopt;
  }
}

void emit(const Output& output, std::ostream& out) {
  if (const std::optional<std::string> bytes = encode(output)) {
    out << *bytes;
    out.flush();
  }
}

}  // namespace orvel::ocr
