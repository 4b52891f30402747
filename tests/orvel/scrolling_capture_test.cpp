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
    // A slow view shows a step's move only from its `repaintLook`-th frame on.
    if (++looksSinceScroll_ >= repaintLook) shown_ = top_;
    return frameAt(page_, shown_, visible_);
  }
  Expected<void, Failure> scroll(double fraction) override {
    EXPECT_GT(fraction, 0.5);
    EXPECT_LE(fraction, 0.8);
    ++scrolls;
    top_ = std::min(top_ + step_, static_cast<int>(page_.size()) - visible_);
    looksSinceScroll_ = 0;
    return {};
  }

  bool canceled = false;
  std::optional<std::string> selectFailure;
  std::optional<int> captureFailureAfter;
  int repaintLook = 1;
  int captures = 0, scrolls = 0;

 private:
  Rows page_;
  int visible_, step_, top_ = 0, shown_ = 0, looksSinceScroll_ = 0;
};

TEST(ScrollingCapture, StopsAtThePagesEndWhenTheContentStopsMoving) {
  // The page ends mid-step (700 rows below the first frame: 4 steps of 170, then 20 rows): that
  // short step and one that moves nothing end it.
  const Rows page = distinctRows(1000);
  FakeScrollView view(page, 300, 170);
  int pauses = 0, reports = 0;
  ScrollingCaptureHooks hooks;
  hooks.pauseForRepaint = [&] { ++pauses; };
  hooks.progress = [&](int, int, int) { ++reports; };
  const auto r = captureScrollingPage(view, kMaxPageHeight, hooks);
  EXPECT_EQ(r.stop, ScrollingCaptureResult::Stop::kEndOfPage);
  ASSERT_TRUE(r.page);
  EXPECT_EQ(rowsOf(r.page->view()), page);
  EXPECT_EQ(r.frames, 6);
  EXPECT_EQ(reports, 6);
  EXPECT_EQ(r.unmatchedFrames, 0);
  // The still step looked three times (a view that shows its moves at once).
  EXPECT_EQ(view.scrolls, 6);
  EXPECT_EQ(pauses, 2);
  EXPECT_EQ(view.captures, 6 + 3);

  // Lines of text (1320 rows) ending on a whole step (1020 rows below the first frame, 6 steps of
  // 170): two steps that move nothing end it.
  const Rows text = textRows(60);
  FakeScrollView whole(text, 300, 170);
  const auto t = captureScrollingPage(whole, kMaxPageHeight, {});
  EXPECT_EQ(t.stop, ScrollingCaptureResult::Stop::kEndOfPage);
  ASSERT_TRUE(t.page);
  EXPECT_EQ(rowsOf(t.page->view()), text);
  EXPECT_EQ(t.frames, 7);
  EXPECT_EQ(whole.scrolls, 8);
  EXPECT_EQ(whole.captures, 7 + 2 * 3);
}

TEST(ScrollingCapture, ASlowViewIsGivenTimeToRepaintBeforeAStepCountsAsStill) {
  EXPECT_EQ(looksBeforeStill(0), kRepaintChecks);
  EXPECT_EQ(looksBeforeStill(1), 3);
  EXPECT_EQ(looksBeforeStill(2), 5);
  EXPECT_EQ(looksBeforeStill(9), kRepaintChecks);

  // Every move shows on the third frame after the scroll: no step is taken for still, and the
  // end of the page is looked at as long as allowed.
  const Rows page = textRows(60);
  FakeScrollView slow(page, 300, 170);
  slow.repaintLook = 3;
  const auto r = captureScrollingPage(slow, kMaxPageHeight, {});
  EXPECT_EQ(r.stop, ScrollingCaptureResult::Stop::kEndOfPage);
  ASSERT_TRUE(r.page);
  EXPECT_EQ(rowsOf(r.page->view()), page);
  EXPECT_EQ(r.unmatchedFrames, 0);
  EXPECT_EQ(slow.captures, 1 + 6 * 3 + 2 * kRepaintChecks);

  // A page that never moves is looked at in full before it counts as ended.
  FakeScrollView still(page, 300, 0);
  EXPECT_EQ(captureScrollingPage(still, kMaxPageHeight, {}).stop,
            ScrollingCaptureResult::Stop::kEndOfPage);
  EXPECT_EQ(still.captures, 1 + 2 * kRepaintChecks);
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
