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

}  // namespace orvel::ocr::testing
