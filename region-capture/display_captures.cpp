#include "display_captures.h"

namespace orvel::region {

namespace {

Expected<Image, platform::PlatformError> givenUp() {
  return unexpected(platform::PlatformError{"The capture was cancelled."});
}

}  // namespace

DisplayCaptures::DisplayCaptures(EventLoop& loop, platform::ScreenCapture& capture,
                                 std::vector<DisplayCaptureJob> jobs,
                                 std::shared_ptr<const std::atomic<bool>> cancelled)
    : loop_(loop),
      capture_(capture),
      jobs_(std::move(jobs)),
      cancelled_(std::move(cancelled)),
      shared_(std::make_shared<Shared>()) {
  shared_->pictures.resize(jobs_.size());
  shared_->remaining = jobs_.size();
}

void DisplayCaptures::await_suspend(std::coroutine_handle<> awaiting) {
  for (std::size_t i = 0; i < jobs_.size(); ++i) {
    loop_.runInBackground([i, awaiting, shared = shared_, cancelled = cancelled_,
                           &capture = capture_, job = jobs_[i], &loop = loop_] {
      auto picture = *cancelled ? givenUp() : capture.captureImage(job.filter, job.configuration);
      if (*cancelled) picture = givenUp();
      bool last = false;
      {
        std::lock_guard lock(shared->mutex);
        if (!picture && !shared->firstFailure) shared->firstFailure = i;
        shared->pictures[i].emplace(std::move(picture));
        last = --shared->remaining == 0;
      }
      if (last) loop.post([awaiting] { awaiting.resume(); });
    });
  }
}

DisplayCaptureResults DisplayCaptures::await_resume() {
  DisplayCaptureResults out;
  std::lock_guard lock(shared_->mutex);
  for (auto& picture : shared_->pictures)
    out.pictures.push_back(std::move(*picture));
  out.firstFailure = shared_->firstFailure;
  return out;
}

}  // namespace orvel::region
