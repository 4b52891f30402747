#pragma once

#include <string>
#include <vector>

namespace orvel::ocr {

// One recognised line, kept until the text is joined.
struct Line {
  double y = 0;  // centre row in whole-image pixels from the top
  double x = 0;  // left edge as a fraction of the image width
  std::string text;
};

// Top to bottom by exact centre row, then left to right; no row tolerance, so a line one pixel
// higher comes first wherever it lies. Stable: equal lines keep their recognition order.
void sortLines(std::vector<Line>& lines);

// Texts joined by single line feeds, none at the end.
std::string joinLines(const std::vector<Line>& lines);

}  // namespace orvel::ocr
