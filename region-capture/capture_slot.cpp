#include "capture_slot.h"

#include <utility>

namespace orvel::region {

void CaptureSlot::release() {
  busy_ = false;
  wake();
}

void CaptureSlot::wait(std::coroutine_handle<> waiter) {
  wake();
  waiter_ = waiter;
}

void CaptureSlot::wake() {
  if (auto waiter = std::exchange(waiter_, {})) loop_.defer([waiter] { waiter.resume(); });
}

}  // namespace orvel::region
