// Takes one picture per display, all at once, each on its own worker, and resumes the awaiting
// task on the loop when every picture is in. Once `cancelled` is set, workers take no picture and
// drop one just taken, so a capture given up frees its pictures at once rather than when the
// awaiting task next runs.
#pragma once

#include <atomic>
#include <coroutine>
#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "orvel/common/event_loop.h"
#include "orvel/common/expected.h"
#include "orvel/common/image.h"
#include "platform/screen_capture.h"

namespace orvel::region {

struct DisplayCaptureJob {
  platform::ContentFilter filter;
  platform::CaptureConfiguration configuration;
};

struct DisplayCaptureResults {
  // One per job, in job order.
  std::vector<Expected<Image, platform::PlatformError>> pictures;
  // Index of the failure that completed first, if any failed.
  std::optional<std::size_t> firstFailure;
};

class [[nodiscard]] DisplayCaptures {
 public:
  DisplayCaptures(EventLoop& loop, platform::ScreenCapture& capture,
                  std::vector<DisplayCaptureJob> jobs,
                  std::shared_ptr<const std::atomic<bool>> cancelled);

  bool await_ready() const noexcept { return jobs_.empty(); }
  void await_suspend(std::coroutine_handle<> awaiting);
  DisplayCaptureResults await_resume();

 private:
  struct Shared {
    std::mutex mutex;
    std::vector<std::optional<Expected<Image, platform::PlatformError>>> pictures;
    std::optional<std::size_t> firstFailure;
    std::size_t remaining = 0;
  };

  EventLoop& loop_;
  platform::ScreenCapture& capture_;
  std::vector<DisplayCaptureJob> jobs_;
  std::shared_ptr<const std::atomic<bool>> cancelled_;
  std::shared_ptr<Shared> shared_;
};

}  // namespace orvel::region
