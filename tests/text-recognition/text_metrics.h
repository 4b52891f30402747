// Character error rate that does not depend on reading order: an engine that reads a sidebar
// before the page beside it has made no character error.
#pragma once

#include <string>
#include <vector>

namespace orvel::ocr::testing {

std::size_t editDistance(const std::string& a, const std::string& b);

// Non-empty lines, trimmed.
std::vector<std::string> linesOf(const std::string& text);

// Pairs expected and recognised lines closest first; unpaired lines count in full. Divided by the
// expected characters.
double characterErrorRate(const std::string& expected, const std::string& recognized);

}  // namespace orvel::ocr::testing
