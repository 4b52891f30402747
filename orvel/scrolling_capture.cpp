#include "scrolling_capture.h"

#include <algorithm>
#include <cmath>

namespace orvel::cli {

namespace {

using Stop = ScrollingCaptureResult::Stop;

ScrollingCaptureResult stopped(ScrollingCaptureResult r, Stop stop, std::string why = {}) {
  r.stop = stop;
  r.why = std::move(why);
  return r;
}

}  // namespace

int looksBeforeStill(int slowestRepaint) {
  if (slowestRepaint <= 0) return kRepaintChecks;
  return std::clamp(2 * slowestRepaint + 1, 3, kRepaintChecks);
}

ScrollingCaptureResult captureScrollingPage(ScrollChannel& helper, int maxHeight,
                                            const ScrollingCaptureHooks& hooks) {
  ScrollingCaptureResult r;
  // A failure while the user interrupts is the interruption.
  auto failedOrInterrupted = [&](ScrollingCaptureResult& result, const Failure& failure) {
    return hooks.interrupted() ? stopped(std::move(result), Stop::kInterrupted)
                               : stopped(std::move(result), Stop::kFailed, failure.description);
  };
  const auto selected = helper.select();
  if (!selected) return failedOrInterrupted(r, selected.error());
  if (!*selected) return stopped(std::move(r), Stop::kCanceled);

  auto first = helper.capture();
  if (!first) return failedOrInterrupted(r, first.error());
  const int frameHeight = first->height();
  r.page.emplace(first->view());
  r.frames = 1;
  hooks.progress(r.frames, r.page->width(), r.page->height());
  const int asked = static_cast<int>(std::lround(kScrollFraction * frameHeight));

  int stillSteps = 0;
  int slowestRepaint = 0;
  bool fellShort = false;  // the last step that moved moved less than half the distance asked
  for (;;) {
    if (r.page->height() >= maxHeight) return stopped(std::move(r), Stop::kHeightLimit);
    if (hooks.interrupted()) return stopped(std::move(r), Stop::kInterrupted);
    if (auto scrolled = helper.scroll(kScrollFraction); !scrolled)
      return failedOrInterrupted(r, scrolled.error());
    int shift = 0;
    const int looks = looksBeforeStill(slowestRepaint);
    for (int look = 1; look <= looks && shift == 0; ++look) {
      if (look > 1) hooks.pauseForRepaint();
      auto frame = helper.capture();
      if (!frame) return failedOrInterrupted(r, frame.error());
      const stitching::FrameOverlap overlap = r.page->add(frame->view(), asked);
      shift = overlap.shift;
      if (shift > 0) slowestRepaint = std::max(slowestRepaint, look);
      if (!overlap.matched) ++r.unmatchedFrames;
    }
    if (shift == 0) {
      if (++stillSteps == 2 || fellShort) return stopped(std::move(r), Stop::kEndOfPage);
      continue;
    }
    stillSteps = 0;
    fellShort = 2 * shift < asked;
    ++r.frames;
    hooks.progress(r.frames, r.page->width(), r.page->height());
  }
}

}  // namespace orvel::cli
