// The one JSON object that a run writes.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace orvel::ocr {

struct Language {
  std::string tag;
  std::string name;
};

// Exactly one field is set by the helper; absent fields are left out of the JSON.
struct Output {
  std::optional<std::string> text;
  std::optional<std::vector<Language>> languages;
  std::optional<std::string> error;
};

// Compact JSON without a trailing line feed; absent when a string is not valid UTF-8.
std::optional<std::string> encode(const Output& output);

// Writes the encoded object and flushes; writes nothing when encoding fails.
void emit(const Output& output, std::ostream& out);

}  // namespace orvel::ocr
