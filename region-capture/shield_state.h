// The one value the input-shield thread shares with the main thread: which capture, if any, the
// shield is up for.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

namespace orvel::region {

struct Shield {
  std::int64_t id = 0;
  std::uint64_t started = 0;
  friend bool operator==(const Shield&, const Shield&) = default;
};

class ShieldState {
 public:
  void raise(Shield shield) {
    std::lock_guard lock(mutex_);
    shield_ = shield;
  }
  void clear() {
    std::lock_guard lock(mutex_);
    shield_.reset();
  }
  std::optional<Shield> current() const {
    std::lock_guard lock(mutex_);
    return shield_;
  }

 private:
  mutable std::mutex mutex_;
  std::optional<Shield> shield_;
};

}  // namespace orvel::region
