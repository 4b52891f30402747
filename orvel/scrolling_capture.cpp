#include "scrolling_capture.h"

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
  for (;;) {
    if (r.page->height() >= maxHeight) return stopped(std::move(r), Stop::kHeightLimit);
    if (hooks.interrupted()) return stopped(std::move(r), Stop::kInterrupted);
    if (auto scrolled = helper.scroll(kScrollFraction); !scrolled)
      return failedOrInterrupted(r, scrolled.error());
    bool moved = false;
    for (int check = 0; check < kRepaintChecks && !moved; ++check) {
      if (check > 0) hooks.pauseForRepaint();
      auto frame = helper.capture();
      if (!frame) return failedOrInterrupted(r, frame.error());
      const stitching::FrameOverlap overlap = r.page->add(frame->view(), asked);
      moved = overlap.shift > 0;
      if (!overlap.matched) ++r.unmatchedFrames;
    }
    if (!moved) {
      if (++stillSteps == 2) return stopped(std::move(r), Stop::kEndOfPage);
      continue;
    }
    stillSteps = 0;
    ++r.frames;
    hooks.progress(r.frames, r.page->width(), r.page->height());
  }
}

}  // namespace orvel::cli
