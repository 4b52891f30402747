// A value that one task waits for and some later event delivers, exactly once. Delivering again,
// or after the waiter is gone, does nothing. The waiter resumes on a later turn of the loop, never
// inside the code that delivers.
#pragma once

#include <coroutine>
#include <memory>
#include <optional>

#include "orvel/common/event_loop.h"

namespace orvel {

template <class T>
class OneShot {
 public:
  struct State {
    explicit State(EventLoop& l) : loop(l) {}
    EventLoop& loop;
    bool done = false;
    std::optional<T> value;
    std::coroutine_handle<> waiter;
  };
  explicit OneShot(EventLoop& loop) : state_(std::make_shared<State>(loop)) {}

  // Returns false when a value was already delivered.
  bool resolve(T value) {
    if (state_->done) return false;
    state_->done = true;
    state_->value.emplace(std::move(value));
    if (auto waiter = std::exchange(state_->waiter, {})) {
      state_->loop.defer([waiter] { waiter.resume(); });
    }
    return true;
  }
  bool resolved() const { return state_->done; }

  struct Awaiter {
    std::shared_ptr<State> state;
    bool await_ready() const noexcept { return state->done; }
    void await_suspend(std::coroutine_handle<> h) noexcept { state->waiter = h; }
    T await_resume() { return std::move(*state->value); }
  };
  Awaiter wait() const { return Awaiter{state_}; }

 private:
  std::shared_ptr<State> state_;
};

}  // namespace orvel
