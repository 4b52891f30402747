#include "text_piece.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>

namespace orvel::ocr {
namespace {

// The gap from `line` to `piece` when the piece continues the line.
std::optional<double> continuation(const TextPiece& line, const TextPiece& piece) {
  const double height = std::max(line.box.height, piece.box.height);
  const double gap = piece.box.x - (line.box.x + line.box.width);
  if (gap < 0 || gap > kJoiningGap * height) return std::nullopt;
  if (std::abs(line.baselineAt(piece.box.x) - piece.baseline) > kBaselineTolerance * height) {
    return std::nullopt;
  }
  return gap;
}

platform::PixelRect united(const platform::PixelRect& a, const platform::PixelRect& b) {
  const int left = std::min(a.x, b.x);
  const int top = std::min(a.y, b.y);
  const int right = std::max(a.x + a.width, b.x + b.width);
  const int bottom = std::max(a.y + a.height, b.y + b.height);
  return {left, top, right - left, bottom - top};
}

}  // namespace

std::vector<TextPiece> joinIntoLines(const std::vector<TextPiece>& pieces) {
  std::vector<std::size_t> leftToRight(pieces.size());
  std::iota(leftToRight.begin(), leftToRight.end(), 0);
  std::stable_sort(leftToRight.begin(), leftToRight.end(),
                   [&](std::size_t a, std::size_t b) { return pieces[a].box.x < pieces[b].box.x; });
  struct Joined {
    std::size_t first;  // recognition order of its first piece
    TextPiece line;     // box and text so far; baseline of its last piece
  };
  std::vector<Joined> lines;
  for (const std::size_t index : leftToRight) {
    const TextPiece& piece = pieces[index];
    Joined* best = nullptr;
    double bestGap = 0;
    for (Joined& candidate : lines) {
      const std::optional<double> gap = continuation(candidate.line, piece);
      if (gap && (best == nullptr || *gap < bestGap)) {
        best = &candidate;
        bestGap = *gap;
      }
    }
    if (best == nullptr) {
      lines.push_back({index, piece});
      continue;
    }
    TextPiece& line = best->line;
    line.text += ' ';
    line.text += piece.text;
    line.box = united(line.box, piece.box);
    // The next piece continues from this one's baseline, wherever the line started.
    line.slope = piece.slope;
    line.baseline = piece.baseline - piece.slope * (piece.box.x - line.box.x);
  }
  std::stable_sort(lines.begin(), lines.end(),
                   [](const Joined& a, const Joined& b) { return a.first < b.first; });
  std::vector<TextPiece> joined;
  joined.reserve(lines.size());
  for (Joined& line : lines)
    joined.push_back(std::move(line.line));
  return joined;
}

}  // namespace orvel::ocr
