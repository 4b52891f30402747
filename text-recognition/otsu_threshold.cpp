#include "otsu_threshold.h"

namespace orvel::ocr {

Binarization binarizationOf(const Histogram& histogram) {
  std::int64_t total = 0;
  double sum = 0;
  for (int i = 0; i < 256; ++i) {
    total += histogram[i];
    sum += static_cast<double>(i) * static_cast<double>(histogram[i]);
  }
  // The threshold that best separates the two classes, the first of equals; the same arithmetic
  // as the engine's, so that ties fall the same way.
  int best = -1;
  std::int64_t bestBelow = 0;
  double bestSpread = 0;
  std::int64_t below = 0;
  double sumBelow = 0;
  for (int t = 0; t < 255; ++t) {
    below += histogram[t];
    sumBelow += t * static_cast<double>(histogram[t]);
    if (below == 0) continue;
    const std::int64_t above = total - below;
    if (above == 0) break;
    const double meanBelow = sumBelow / static_cast<double>(below);
    const double meanAbove = (sum - sumBelow) / static_cast<double>(above);
    double spread = meanAbove - meanBelow;
    spread *= spread * static_cast<double>(below) * static_cast<double>(above);
    if (best < 0 || spread > bestSpread) {
      bestSpread = spread;
      best = t;
      bestBelow = below;
    }
  }
  if (bestBelow == 0 || bestBelow == total) return {-1, 1};  // one grey: no foreground
  // A small dark class is the foreground, a small light one too; otherwise the lighter of the two.
  const double share = static_cast<double>(bestBelow) / static_cast<double>(total);
  if (share > 0.75) return {best, 0};
  if (share < 0.25) return {best, 1};
  return {best, share < 0.5 ? 1 : 0};
}

}  // namespace orvel::ocr
