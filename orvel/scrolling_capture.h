// A scrolling capture: after the user's selection, frames and scroll steps in turn, each frame
// stitched onto the page, until the page stops moving (two scroll steps in a row that move
// nothing, or one after a step that moved less than half the distance asked: the content stopped
// on its way), the page reaches its height limit, the user interrupts, or the helper fails (the
// target moved, was covered or closed, Escape). Whatever was captured until then is kept. Pure
// logic over a ScrollChannel; waiting and interruption come from the caller. One thread.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "orvel/stitching/page_stitcher.h"
#include "scroll_channel.h"

namespace orvel::cli {

// Of the region's height per scroll step: a large step for few frames, with a third of the frame
// left to overlap the page by.
inline constexpr double kScrollFraction = 0.65;

// The pause between two looks at a view that may still be repainting after a scroll step.
inline constexpr std::chrono::milliseconds kRepaintPause{50};

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

// The most frames looked at after a scroll step before it counts as moving nothing.
inline constexpr int kRepaintChecks = 6;

// Frames to look at before a step counts as moving nothing, given the looks that the slowest step
// which moved on this page needed to show it (1: the first frame; 0: none moved yet). A view that
// shows its moves at once gets three looks, a slower one twice its slowest and one more, up to
// kRepaintChecks; a view not yet seen moving gets them all. Pure.
int looksBeforeStill(int slowestRepaint);

ScrollingCaptureResult captureScrollingPage(ScrollChannel& helper, int maxHeight,
                                            const ScrollingCaptureHooks& hooks);

}  // namespace orvel::cli
