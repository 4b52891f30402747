// The engine's text lines as pieces of the lines that a reader sees. Sparse-text layout can split
// one visual line into several: a list number apart from its text, a word beyond a gap that lines
// up with the lines around it. A reader selects such a line whole, and the row sort that follows
// would order its pieces by their slightly different centres, so pieces are joined first.
#pragma once

#include <string>
#include <vector>

#include "platform/text_recognizer.h"

namespace orvel::ocr {

// Gaps up to this many line heights join pieces on one baseline: a word space is a fraction of
// one. Wider gaps are column gutters (a sidebar beside a page, a label far from its value).
inline constexpr double kJoiningGap = 1.0;
// Baselines within this many line heights of each other are one baseline.
inline constexpr double kBaselineTolerance = 0.2;

// One piece in the pixels of the recognised image (y down).
struct TextPiece {
  platform::PixelRect box;
  double baseline = 0;  // row of the baseline below the box's left edge
  double slope = 0;     // rows the baseline descends per pixel to the right
  std::string text;

  double baselineAt(double x) const { return baseline + slope * (x - box.x); }
};

// Joins, left to right with single spaces, each piece to the line it continues: the line's last
// piece ends before the piece starts, at most kJoiningGap line heights before it (the taller
// piece's height), and its baseline runs within kBaselineTolerance line heights of the piece's.
// Lines come out in the order of their first pieces.
std::vector<TextPiece> joinIntoLines(const std::vector<TextPiece>& pieces);

}  // namespace orvel::ocr
