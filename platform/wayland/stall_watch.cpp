#include "platform/wayland/stall_watch.h"

#include <algorithm>

namespace orvel::wayland {

StallWatch::Clock::time_point StallWatch::deadline(Clock::time_point started,
                                                   std::chrono::milliseconds timeout) const {
  std::lock_guard lock(mutex_);
  const Clock::time_point own = started + timeout;
  return stalledSince_ ? std::min(own, *stalledSince_ + timeout) : own;
}

void StallWatch::ranOut(Clock::time_point started) {
  std::lock_guard lock(mutex_);
  if (!stalledSince_ || started < *stalledSince_) stalledSince_ = started;
}

void StallWatch::answered() {
  std::lock_guard lock(mutex_);
  stalledSince_.reset();
}

bool StallWatch::stalled() const {
  std::lock_guard lock(mutex_);
  return stalledSince_.has_value();
}

}  // namespace orvel::wayland
