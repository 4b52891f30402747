#include "text_metrics.h"

#include <algorithm>
#include <tuple>

namespace orvel::ocr::testing {

std::size_t editDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> previous(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j)
    previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::vector<std::size_t> current(b.size() + 1);
    current[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      current[j] = std::min(
          {previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
    }
    previous.swap(current);
  }
  return previous[b.size()];
}

std::size_t boundedEditDistance(const std::string& a, const std::string& b, std::size_t limit) {
  const std::size_t longer = std::max(a.size(), b.size());
  if (longer - std::min(a.size(), b.size()) > limit) return limit + 1;
  // Only cells within `limit` of the diagonal can stay within the limit.
  const std::size_t beyond = limit + 1;
  std::vector<std::size_t> previous(b.size() + 1, beyond), current(b.size() + 1, beyond);
  for (std::size_t j = 0; j <= std::min(b.size(), limit); ++j)
    previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    const std::size_t from = i > limit ? i - limit : 1;
    const std::size_t to = std::min(b.size(), i + limit);
    std::fill(current.begin(), current.end(), beyond);
    if (i <= limit) current[0] = i;
    std::size_t best = current[0];
    for (std::size_t j = from; j <= to; ++j) {
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1,
                             previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1), beyond});
      best = std::min(best, current[j]);
    }
    if (best > limit) return beyond;
    previous.swap(current);
  }
  return std::min(previous[b.size()], beyond);
}

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    line.erase(0, line.find_first_not_of(' '));
    line.erase(line.find_last_not_of(' ') + 1);
    if (!line.empty()) lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

double characterErrorRate(const std::string& expected, const std::string& recognized) {
  const std::vector<std::string> truth = linesOf(expected);
  const std::vector<std::string> read = linesOf(recognized);
  std::vector<std::tuple<std::size_t, std::size_t, std::size_t>> pairs;
  for (std::size_t i = 0; i < truth.size(); ++i) {
    for (std::size_t j = 0; j < read.size(); ++j) {
      const std::size_t longer = std::max(truth[i].size(), read[j].size());
      const std::size_t shorter = std::min(truth[i].size(), read[j].size());
      if (longer - shorter >= longer) continue;
      const std::size_t distance = editDistance(truth[i], read[j]);
      if (distance < longer) pairs.emplace_back(distance, i, j);
    }
  }
  std::sort(pairs.begin(), pairs.end());
  std::vector<bool> truthUsed(truth.size()), readUsed(read.size());
  std::size_t errors = 0;
  for (const auto& [distance, i, j] : pairs) {
    if (truthUsed[i] || readUsed[j]) continue;
    truthUsed[i] = readUsed[j] = true;
    errors += distance;
  }
  std::size_t characters = 0;
  for (std::size_t i = 0; i < truth.size(); ++i) {
    characters += truth[i].size();
    if (!truthUsed[i]) errors += truth[i].size();
  }
  for (std::size_t j = 0; j < read.size(); ++j) {
    if (!readUsed[j]) errors += read[j].size();
  }
  return characters == 0 ? (errors == 0 ? 0.0 : 1.0) : double(errors) / double(characters);
}

std::string collapsedSpaces(const std::string& line) {
  std::string out;
  for (const char c : line) {
    const bool blank = c == ' ' || c == '\t';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

namespace {

bool sameLine(const std::string& expected, const std::string& read) {
  const std::size_t limit = expected.size() / 20;
  return boundedEditDistance(expected, read, limit) <= limit;
}

// Longest common subsequence under sameLine.
std::size_t pairedInOrder(const std::vector<std::string>& expected,
                          const std::vector<std::string>& read) {
  std::vector<std::size_t> previous(read.size() + 1), current(read.size() + 1);
  for (const std::string& line : expected) {
    for (std::size_t j = 1; j <= read.size(); ++j) {
      current[j] = std::max(previous[j], current[j - 1]);
      if (previous[j - 1] + 1 > current[j] && sameLine(line, read[j - 1]))
        current[j] = previous[j - 1] + 1;
    }
    previous.swap(current);
  }
  return previous[read.size()];
}

}  // namespace

double lineFidelity(const std::vector<std::vector<std::string>>& expectedRows,
                    const std::string& recognized) {
  std::vector<std::string> read;
  for (const std::string& line : linesOf(recognized))
    read.push_back(collapsedSpaces(line));
  // Within a row, the lines go in the order in which they were read, so the row's order is never
  // held against the text.
  std::vector<std::string> expected;
  for (const std::vector<std::string>& row : expectedRows) {
    std::vector<std::pair<std::size_t, std::string>> placed;
    for (const std::string& line : row) {
      const std::string wanted = collapsedSpaces(line);
      if (wanted.empty()) continue;
      std::size_t at = read.size();
      for (std::size_t j = 0; j < read.size() && at == read.size(); ++j) {
        if (sameLine(wanted, read[j])) at = j;
      }
      placed.emplace_back(at, wanted);
    }
    std::stable_sort(placed.begin(), placed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [at, line] : placed)
      expected.push_back(std::move(line));
  }
  if (expected.empty()) return 1.0;
  return double(pairedInOrder(expected, read)) / double(expected.size());
}

double lineFidelity(const std::string& expected, const std::string& recognized) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& line : linesOf(expected))
    rows.push_back({line});
  return lineFidelity(rows, recognized);
}

}  // namespace orvel::ocr::testing
