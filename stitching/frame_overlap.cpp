#include "orvel/stitching/frame_overlap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace orvel::stitching {

std::vector<std::uint64_t> rowHashes(const ImageView& frame) {
  std::vector<std::uint64_t> hashes(static_cast<std::size_t>(std::max(frame.height, 0)));
  const std::size_t bytes = static_cast<std::size_t>(std::max(frame.width, 0)) * 4;
  for (int y = 0; y < frame.height; ++y) {
    // Eight bytes a step, each mixed into every bit of the state: collisions between different
    // rows are far too rare to matter here, and a frame's rows hash at memory speed.
    std::uint64_t h = 1469598103934665603ull ^ bytes;
    const std::uint8_t* p = frame.row(y);
    std::size_t i = 0;
    for (; i + 8 <= bytes; i += 8) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      h = (h ^ word) * 0x9E3779B97F4A7C15ull;
      h ^= h >> 32;
    }
    for (; i < bytes; ++i)
      h = (h ^ p[i]) * 1099511628211ull;
    hashes[static_cast<std::size_t>(y)] = h;
  }
  return hashes;
}

namespace {

struct Candidate {
  int shift = 0;
  int header = 0;
  int cost = std::numeric_limits<int>::max();
};

// Whether `a` explains the frames better than `b`: fewer rows that disagree, then the shift nearest
// to the one asked for (the smallest when none was), then the larger overlap.
bool better(const Candidate& a, const Candidate& b, int expectedShift) {
  if (a.cost != b.cost) return a.cost < b.cost;
  if (expectedShift > 0) {
    const int da = std::abs(a.shift - expectedShift), db = std::abs(b.shift - expectedShift);
    if (da != db) return da < db;
  }
  return a.shift < b.shift;
}

}  // namespace

FrameOverlap measureOverlap(const std::vector<std::uint64_t>& previous,
                            const std::vector<std::uint64_t>& next, int expectedShift) {
  const int height = static_cast<int>(std::min(previous.size(), next.size()));
  auto still = [&](int y) { return previous[y] == next[y]; };

  // A few disagreeing rows are tolerated; a wrong shift of real content disagrees on most rows.
  const int tolerance = std::max(2, height / 25);
  // Content that looks the same after the scroll did not move, as far as anyone can tell (a
  // blank page, or a table moved by whole rows, included).
  int changed = 0;
  for (int y = 0; y < height; ++y)
    changed += still(y) ? 0 : 1;
  if (changed <= tolerance) return {height, 0, 0, true};

  int footer = 0;
  while (still(height - 1 - footer))
    ++footer;
  const int above = height - footer;  // rows above the footer: header and moving band

  // changedAbove[k]: rows among the first k that differ from the previous frame's.
  std::vector<int> changedAbove(static_cast<std::size_t>(above) + 1, 0);
  for (int y = 0; y < above; ++y)
    changedAbove[y + 1] = changedAbove[y] + (still(y) ? 0 : 1);

  const int minOverlap = std::max(4, above / 16);
  Candidate best;
  std::vector<int> unmatchedBelow(static_cast<std::size_t>(above) + 1);
  for (int shift = 1; shift + minOverlap <= above; ++shift) {
    // Rows [0, header) stayed, rows [header, above - shift) moved up by `shift`; the rest is new.
    const int end = above - shift;
    unmatchedBelow[end] = 0;
    for (int y = end - 1; y >= 0; --y)
      unmatchedBelow[y] = unmatchedBelow[y + 1] + (previous[y + shift] == next[y] ? 0 : 1);
    Candidate c{shift, 0, std::numeric_limits<int>::max()};
    for (int header = 0; header + minOverlap <= end; ++header) {
      const int cost = changedAbove[header] + unmatchedBelow[header];
      if (cost < c.cost) c = {shift, header, cost};
    }
    if (c.cost <= tolerance && better(c, best, expectedShift)) best = c;
  }
  if (best.cost <= tolerance) return {best.header, footer, best.shift, true};

  int header = 0;
  while (header < above && still(header))
    ++header;
  return {header, footer, above - header, false};
}

}  // namespace orvel::stitching
