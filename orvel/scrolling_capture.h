// A scrolling capture: after the user's selection, frames and scroll steps in turn, each frame
// stitched onto the page, until the page stops moving (two scroll steps in a row that move
// nothing), the page reaches its height limit, the user interrupts, or the helper fails (the
// target moved, was covered or closed, Escape). Whatever was captured until then is kept. Pure
// logic over a ScrollChannel; waiting and interruption come from the caller. One thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "orvel/stitching/page_stitcher.h"
#include "scroll_channel.h"

namespace orvel::cli {

// Of the region's height per scroll step: a large step for few frames, with a third of the frame
// left to overlap the page by.
inline constexpr double kScrollFraction = 0.65;

struct ScrollingCaptureHooks {
  std::function<bool()> interrupted = [] { return false; };
  // Called between captures while the view may still be repainting after a scroll step.
  std::function<void()> pauseForRepaint = [] {};
  // After every frame that added rows: frames so far, the page's size.
  std::function<void(int frames, int width, int height)> progress = [](int, int, int) {};
};

struct ScrollingCaptureResult {
  enum class Stop { kEndOfPage, kHeightLimit, kInterrupted, kFailed, kCanceled };
  Stop stop = Stop::kFailed;
  std::string why;                              // the helper's message for kFailed
  std::optional<stitching::PageStitcher> page;  // none when nothing was captured
  int frames = 0;                               // frames that added rows, the first included
  int unmatchedFrames = 0;                      // frames that did not overlap the page
};

// Frames that show no move after a scroll step before the step counts as moving nothing.
inline constexpr int kRepaintChecks = 6;

ScrollingCaptureResult captureScrollingPage(ScrollChannel& helper, int maxHeight,
                                            const ScrollingCaptureHooks& hooks);

}  // namespace orvel::cli
