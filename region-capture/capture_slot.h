// Lets one capture at a time take pictures of the displays, so that a burst of captures that are
// given up one after the other never holds more than one set of pictures. Only the newest waiter
// can still want the slot (a newer capture cancels the one before), so a new waiter wakes the
// previous one, which then finds itself stopped: at most one capture waits.
#pragma once

#include <coroutine>

#include "orvel/common/event_loop.h"

namespace orvel::region {

class CaptureSlot {
 public:
  explicit CaptureSlot(EventLoop& loop) : loop_(loop) {}
  CaptureSlot(const CaptureSlot&) = delete;
  CaptureSlot& operator=(const CaptureSlot&) = delete;

  bool busy() const { return busy_; }
  void take() { busy_ = true; }
  // Wakes the waiter, if any, on a later turn.
  void release();

  struct Awaiter {
    CaptureSlot& slot;
    bool await_ready() const noexcept { return !slot.busy_; }
    void await_suspend(std::coroutine_handle<> waiter) { slot.wait(waiter); }
    void await_resume() const noexcept {}
  };
  // Resumes once the slot is free, or once a newer waiter comes: check again after it.
  Awaiter freed() { return {*this}; }

 private:
  void wait(std::coroutine_handle<> waiter);
  void wake();

  EventLoop& loop_;
  bool busy_ = false;
  std::coroutine_handle<> waiter_;
};

}  // namespace orvel::region
