#include "language_matcher.h"

#include <algorithm>

namespace orvel::ocr {
namespace {

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return lower(x) == lower(y); });
}

}  // namespace

std::optional<std::string> matchLanguage(const std::vector<std::string>& supported,
                                         const std::string& argument) {
  const std::string prefix = argument + "-";
  for (const std::string& identifier : supported) {
    if (equalsIgnoringCase(identifier, argument) || identifier.starts_with(prefix)) {
      return identifier;
    }
  }
  return std::nullopt;
}

}  // namespace orvel::ocr
