#include "row_cuts.h"

#include <cstdint>
#include <cstdlib>

namespace orvel::ocr {
namespace {

std::int64_t darkOf(const Histogram& row) {
  std::int64_t dark = 0;
  for (int grey = 0; grey < kTextBelow; ++grey)
    dark += row[static_cast<std::size_t>(grey)];
  return dark;
}

struct Cut {
  int row = 0;
  int gap = 0;  // blank rows around it
  std::int64_t darkAbove = 0;
};

// The middle rows of the blank runs that text lies on both sides of, with the dark pixels above.
std::vector<Cut> candidates(const std::vector<std::int64_t>& dark) {
  std::vector<Cut> cuts;
  std::int64_t above = 0;
  int blankFrom = -1;
  for (int row = 0; row < static_cast<int>(dark.size()); ++row) {
    if (dark[static_cast<std::size_t>(row)] == 0) {
      if (blankFrom < 0) blankFrom = row;
      continue;
    }
    if (blankFrom >= 0 && above > 0 && row - blankFrom >= kMinCutGap) {
      cuts.push_back({blankFrom + (row - blankFrom) / 2, row - blankFrom, above});
    }
    blankFrom = -1;
    above += dark[static_cast<std::size_t>(row)];
  }
  return cuts;
}

// Histograms of the rows above each row, for the histogram of any span in one pass over the greys.
class RowHistograms {
 public:
  explicit RowHistograms(const std::vector<Histogram>& rows) : above_(rows.size() + 1) {
    for (std::size_t row = 0; row < rows.size(); ++row) {
      for (std::size_t grey = 0; grey < 256; ++grey)
        above_[row + 1][grey] = above_[row][grey] + rows[row][grey];
    }
  }
  Binarization of(int start, int end) const {
    Histogram span{};
    for (std::size_t grey = 0; grey < 256; ++grey) {
      span[grey] = above_[static_cast<std::size_t>(end)][grey] -
                   above_[static_cast<std::size_t>(start)][grey];
    }
    return binarizationOf(span);
  }

 private:
  std::vector<Histogram> above_;
};

}  // namespace

std::vector<RowSpan> cutIntoParts(const std::vector<Histogram>& rows, int parts) {
  const int height = static_cast<int>(rows.size());
  if (height == 0) return {};
  if (parts <= 1) return {{0, height}};
  std::vector<std::int64_t> dark;
  dark.reserve(rows.size());
  std::int64_t total = 0;
  for (const Histogram& row : rows) {
    dark.push_back(darkOf(row));
    total += dark.back();
  }
  const std::vector<Cut> cuts = candidates(dark);
  const RowHistograms histograms(rows);
  const Binarization band = histograms.of(0, height);

  std::vector<RowSpan> spans;
  int start = 0;
  std::size_t next = 0;  // the first candidate below the last cut
  for (int k = 1; k < parts && next < cuts.size(); ++k) {
    // The qualifying candidate nearest the share of the dark pixels that ends this part, among the
    // wide runs first.
    const std::int64_t target = total * k / parts;
    std::size_t best = cuts.size();
    for (const int gap : {kWideCutGap, kMinCutGap}) {
      for (std::size_t i = next; i < cuts.size(); ++i) {
        if (cuts[i].gap < gap) continue;
        if (best < cuts.size() &&
            std::llabs(cuts[i].darkAbove - target) >= std::llabs(cuts[best].darkAbove - target)) {
          continue;
        }
        const int row = cuts[i].row;
        if (row - start < kMinPartRows || height - row < kMinPartRows) continue;
        if (histograms.of(start, row) == band && histograms.of(row, height) == band) best = i;
      }
      if (best < cuts.size()) break;
    }
    if (best == cuts.size()) break;
    spans.push_back({start, cuts[best].row});
    start = cuts[best].row;
    next = best + 1;
  }
  spans.push_back({start, height});

  return spans;
}

}  // namespace orvel::ocr
