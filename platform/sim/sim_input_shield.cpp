#include "platform/sim/sim_input_shield.h"

namespace orvel::sim {

SimInputShield::~SimInputShield() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool SimInputShield::install(std::uint64_t eventMask, Handler handler) {
  std::lock_guard lock(mutex_);
  if (!installable || installed_) return false;
  handler_ = std::move(handler);
  mask_ = eventMask;
  installed_ = true;
  enabled_ = false;
  thread_ = std::thread([this] { threadMain(); });
  return true;
}

void SimInputShield::setEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  if (!installed_) return;
  timesLowered_ += enabled_ && !enabled;
  enabled_ = enabled;
}

int SimInputShield::timesLowered() const {
  std::lock_guard lock(mutex_);
  return timesLowered_;
}

bool SimInputShield::installed() const {
  std::lock_guard lock(mutex_);
  return installed_;
}

bool SimInputShield::enabled() const {
  std::lock_guard lock(mutex_);
  return enabled_;
}

std::uint64_t SimInputShield::eventMask() const {
  std::lock_guard lock(mutex_);
  return mask_;
}

bool SimInputShield::deliver(const platform::InputEvent& event) {
  {
    std::lock_guard lock(mutex_);
    if (!installed_ || !enabled_) return true;
    if (event.type >= 64 || !(mask_ & (std::uint64_t{1} << event.type))) return true;
  }
  return callHandler(event);
}

bool SimInputShield::disableBySystem(std::uint32_t notice) {
  {
    std::lock_guard lock(mutex_);
    if (!installed_) return false;
    enabled_ = false;
  }
  callHandler({notice, {}, 0});
  return enabled();
}

bool SimInputShield::callHandler(const platform::InputEvent& event) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return !pending_ && !verdict_; });
  pending_ = event;
  changed_.notify_all();
  changed_.wait(lock, [&] { return verdict_.has_value() || stopping_; });
  const bool passed = verdict_.value_or(true);
  verdict_.reset();
  changed_.notify_all();
  return passed;
}

void SimInputShield::threadMain() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return pending_.has_value() || stopping_; });
    if (stopping_) return;
    const platform::InputEvent event = *pending_;
    pending_.reset();
    // The handler may call setEnabled(), which takes the lock.
    lock.unlock();
    const bool passed = handler_(event);
    lock.lock();
    verdict_ = passed;
    changed_.notify_all();
  }
}

}  // namespace orvel::sim
