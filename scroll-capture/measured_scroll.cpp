#include "measured_scroll.h"

#include <algorithm>

namespace orvel::scroll {

void MeasuredScroll::record(int pixels) {
  if (pixels <= 0) stalled_ = true;
  moved_ += std::max(pixels, 0);
  largestClick_ = std::max(largestClick_, pixels);
}

bool MeasuredScroll::wantsAnotherClick() const {
  if (stalled_ || moved_ >= asked_) return false;
  if (largestClick_ == 0) return true;
  const int next = moved_ + largestClick_;
  if (next > regionHeight_ - largestClick_) return false;
  return next - asked_ <= asked_ - moved_;
}

}  // namespace orvel::scroll
