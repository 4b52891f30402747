// When wheel events can only be clicks (X11), a click moves a view by whatever its toolkit likes
// (90 pixels in a GTK3 text view, 5 lines in xterm, 3 in Qt), so "scroll a fraction of the region"
// is done click by click, each click's move measured on the region's frames. This is the rule
// for when to stop: once the asked distance is reached, when one more click would land farther
// from it than stopping now, or when one more click could move the content by more than the
// region's height less one click (rows would be lost between two frames). Pure logic, in region
// pixels; one thread.
#pragma once

namespace orvel::scroll {

class MeasuredScroll {
 public:
  MeasuredScroll(int askedPixels, int regionHeight)
      : asked_(askedPixels), regionHeight_(regionHeight) {}

  // A click moved the content by `pixels` (0: it did not move).
  void record(int pixels);
  bool wantsAnotherClick() const;
  int moved() const { return moved_; }

 private:
  int asked_;
  int regionHeight_;
  int moved_ = 0;
  int largestClick_ = 0;
  bool stalled_ = false;
};

}  // namespace orvel::scroll
