#include "scrolling_capture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

#include "../stitching/synthetic_pages.h"
#include "command_line.h"

namespace orvel::cli {
namespace {

using namespace stitching::testing;

// A view of `page` that moves `pixelsPerStep` rows a scroll step (or less at the page's end), with
// failure switches.
class FakeScrollView final : public ScrollChannel {
 public:
  FakeScrollView(Rows page, int visible, int pixelsPerStep)
      : page_(std::move(page)), visible_(visible), step_(pixelsPerStep) {}

  Expected<bool, Failure> select() override {
    if (selectFailure) return failed(*selectFailure);
    return !canceled;
  }
  Expected<Image, Failure> capture() override {
    ++captures;
    if (captureFailureAfter && captures > *captureFailureAfter) return failed("covered");
    return frameAt(page_, top_, visible_);
  }
  Expected<void, Failure> scroll(double fraction) override {
    EXPECT_GT(fraction, 0.5);
    EXPECT_LE(fraction, 0.8);
    ++scrolls;
    top_ = std::min(top_ + step_, static_cast<int>(page_.size()) - visible_);
    return {};
  }

  bool canceled = false;
  std::optional<std::string> selectFailure;
  std::optional<int> captureFailureAfter;
  int captures = 0, scrolls = 0;

 private:
  Rows page_;
  int visible_, step_, top_ = 0;
};

TEST(ScrollingCapture, StopsAtThePagesEndAfterTwoStepsThatMoveNothing) {
  const Rows page = textRows(60);  // 1320 rows
  FakeScrollView view(page, 300, 170);
  int pauses = 0, reports = 0;
  ScrollingCaptureHooks hooks;
  hooks.pauseForRepaint = [&] { ++pauses; };
  hooks.progress = [&](int, int, int) { ++reports; };
  const auto r = captureScrollingPage(view, kMaxPageHeight, hooks);
  EXPECT_EQ(r.stop, ScrollingCaptureResult::Stop::kEndOfPage);
  ASSERT_TRUE(r.page);
  EXPECT_EQ(rowsOf(r.page->view()), page);
  EXPECT_EQ(r.frames, 7);  // the first, then 6 steps of 170 and one of 10 rows
  EXPECT_EQ(reports, 7);
  EXPECT_EQ(r.unmatchedFrames, 0);
  // Each of the two still steps waited for a repaint before it counted.
  EXPECT_EQ(pauses, 2 * (kRepaintChecks - 1));
}

TEST(ScrollingCapture, TheHeightLimitAndAnInterruptKeepThePageSoFar) {
  const Rows page = distinctRows(3000);
  FakeScrollView limited(page, 400, 250);
  const auto r = captureScrollingPage(limited, 1000, {});
  EXPECT_EQ(r.stop, ScrollingCaptureResult::Stop::kHeightLimit);
  EXPECT_EQ(r.page->height(), 1150);
  EXPECT_EQ(rowsOf(r.page->view()), Rows(page.begin(), page.begin() + 1150));

  FakeScrollView interrupted(page, 400, 250);
  ScrollingCaptureHooks hooks;
  hooks.interrupted = [&] { return interrupted.scrolls == 2; };
  const auto i = captureScrollingPage(interrupted, kMaxPageHeight, hooks);
  EXPECT_EQ(i.stop, ScrollingCaptureResult::Stop::kInterrupted);
  EXPECT_EQ(rowsOf(i.page->view()), Rows(page.begin(), page.begin() + 900));
}

TEST(ScrollingCapture, AFailedTargetCheckKeepsThePageAndSaysWhy) {
  const Rows page = distinctRows(3000);
  FakeScrollView view(page, 400, 250);
  view.captureFailureAfter = 3;
  const auto r = captureScrollingPage(view, kMaxPageHeight, {});
  EXPECT_EQ(r.stop, ScrollingCaptureResult::Stop::kFailed);
  EXPECT_EQ(r.why, "covered");
  EXPECT_EQ(rowsOf(r.page->view()), Rows(page.begin(), page.begin() + 900));

  FakeScrollView canceled(page, 400, 250);
  canceled.canceled = true;
  EXPECT_EQ(captureScrollingPage(canceled, kMaxPageHeight, {}).stop,
            ScrollingCaptureResult::Stop::kCanceled);
  FakeScrollView refused(page, 400, 250);
  refused.selectFailure = "Select a region at least 64 × 100 points.";
  const auto f = captureScrollingPage(refused, kMaxPageHeight, {});
  EXPECT_EQ(f.why, "Select a region at least 64 × 100 points.");
  EXPECT_FALSE(f.page);
}

}  // namespace
}  // namespace orvel::cli
