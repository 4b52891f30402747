// Character error rate that does not depend on reading order (an engine that reads a sidebar before
// the page beside it has made no character error), and line fidelity, which does.
#pragma once

#include <string>
#include <vector>

namespace orvel::ocr::testing {

std::size_t editDistance(const std::string& a, const std::string& b);

// The edit distance when it is at most `limit`, otherwise limit + 1.
std::size_t boundedEditDistance(const std::string& a, const std::string& b, std::size_t limit);

// Non-empty lines, trimmed.
std::vector<std::string> linesOf(const std::string& text);

// Pairs expected and recognised lines closest first; unpaired lines count in full. Divided by the
// expected characters.
double characterErrorRate(const std::string& expected, const std::string& recognized);

// Runs of blanks made one space, none at either end.
std::string collapsedSpaces(const std::string& line);

// The share of the expected lines that come out as exactly one recognised line, in order: each
// expected line is paired with at most one recognised line within 5% character errors of it (after
// collapsing spaces), and the pairs keep the order of both texts. Lines of one row (overlapping
// vertically on the page) may come out in any order among themselves. 1 when nothing is expected.
double lineFidelity(const std::vector<std::vector<std::string>>& expectedRows,
                    const std::string& recognized);

// Every line of `expected` a row of its own, as in a document.
double lineFidelity(const std::string& expected, const std::string& recognized);

}  // namespace orvel::ocr::testing
