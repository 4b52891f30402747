#pragma once

#include <optional>
#include <string>
#include <vector>

namespace orvel::ocr {

// The first supported identifier, in list order, that equals the argument ignoring ASCII case or
// begins with the argument and a hyphen (case-sensitive). Both tests are made on each identifier
// before the next, so "en" takes an earlier "en-GB" over a later "en".
std::optional<std::string> matchLanguage(const std::vector<std::string>& supported,
                                         const std::string& argument);

}  // namespace orvel::ocr
