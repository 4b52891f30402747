#include "line.h"

#include <algorithm>

namespace orvel::ocr {

void sortLines(std::vector<Line>& lines) {
  std::stable_sort(lines.begin(), lines.end(), [](const Line& a, const Line& b) {
    return a.y < b.y || (a.y == b.y && a.x < b.x);
  });
}

std::string joinLines(const std::vector<Line>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text += '\n';
    text += lines[i].text;
  }
  return text;
}

}  // namespace orvel::ocr
