#include "display_captures.h"

namespace orvel::region {

DisplayCaptures::DisplayCaptures(EventLoop& loop, platform::ScreenCapture& capture,
                                 std::vector<DisplayCaptureJob> jobs)
    : loop_(loop), capture_(capture), jobs_(std::move(jobs)), shared_(std::make_shared<Shared>()) {
  shared_->pictures.resize(jobs_.size());
  shared_->remaining = jobs_.size();
}

void DisplayCaptures::await_suspend(std::coroutine_handle<> awaiting) {
  for (std::size_t i = 0; i < jobs_.size(); ++i) {
    loop_.runInBackground(
        [i, awaiting, shared = shared_, &capture = capture_, job = jobs_[i], &loop = loop_] {
          auto picture = capture.captureImage(job.filter, job.configuration);
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
