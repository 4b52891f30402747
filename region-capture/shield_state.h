// The one value the input-shield thread shares with the main thread: which capture, if any, the
// shield is up for. A new capture raises its shield before the one it replaces finishes, so input
// that arrives during the handover always has an owner; a finishing capture lowers only its own.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

namespace orvel::region {

struct Shield {
  std::int64_t id = 0;
  std::uint64_t started = 0;
  std::uint64_t serial = 0;  // tells apart captures with the same id and start
  friend bool operator==(const Shield&, const Shield&) = default;
};

class ShieldState {
 public:
  Shield raise(std::int64_t id, std::uint64_t started) {
    std::lock_guard lock(mutex_);
    shield_ = Shield{id, started, ++serial_};
    return *shield_;
  }
  // Returns whether `owner` held the shield (and it is now down).
  bool clear(const Shield& owner) {
    std::lock_guard lock(mutex_);
    if (shield_ != owner) return false;
    shield_.reset();
    return true;
  }
  std::optional<Shield> current() const {
    std::lock_guard lock(mutex_);
    return shield_;
  }

 private:
  mutable std::mutex mutex_;
  std::optional<Shield> shield_;
  std::uint64_t serial_ = 0;
};

}  // namespace orvel::region
