// Coroutine tasks that run on an EventLoop. A Task starts when it is awaited (or spawned) and
// resumes its awaiter when it finishes; spawn() detaches one onto the loop, which owns it until it
// completes. Tasks never move between threads: every resumption happens on the loop's thread.
#pragma once

#include <coroutine>
#include <exception>
#include <optional>
#include <type_traits>
#include <utility>

#include "orvel/common/event_loop.h"

namespace orvel {

namespace detail {

struct TaskPromiseBase {
  std::coroutine_handle<> continuation;

  struct FinalAwaiter {
    bool await_ready() noexcept { return false; }
    template <class P>
    std::coroutine_handle<> await_suspend(std::coroutine_handle<P> h) noexcept {
      auto next = h.promise().continuation;
      return next ? next : std::noop_coroutine();
    }
    void await_resume() noexcept {}
  };
  std::suspend_always initial_suspend() noexcept { return {}; }
  FinalAwaiter final_suspend() noexcept { return {}; }
  // Errors travel as values; an escaping exception is a programming fault.
  void unhandled_exception() noexcept { std::terminate(); }
};

template <class T>
struct TaskPromise : TaskPromiseBase {
  std::optional<T> value;
  template <class U>
  void return_value(U&& v) {
    value.emplace(std::forward<U>(v));
  }
  T result() { return std::move(*value); }
};

template <>
struct TaskPromise<void> : TaskPromiseBase {
  void return_void() {}
  void result() {}
};

}  // namespace detail

template <class T = void>
class [[nodiscard]] Task {
 public:
  struct promise_type : detail::TaskPromise<T> {
    Task get_return_object() {
      return Task(std::coroutine_handle<promise_type>::from_promise(*this));
    }
  };

  Task(Task&& other) noexcept : handle_(std::exchange(other.handle_, {})) {}
  Task& operator=(Task&& other) noexcept {
    if (this != &other) {
      if (handle_) handle_.destroy();
      handle_ = std::exchange(other.handle_, {});
    }
    return *this;
  }
  ~Task() {
    if (handle_) handle_.destroy();
  }

  bool await_ready() const noexcept { return false; }
  std::coroutine_handle<> await_suspend(std::coroutine_handle<> awaiter) noexcept {
    handle_.promise().continuation = awaiter;
    return handle_;
  }
  T await_resume() { return handle_.promise().result(); }

 private:
  explicit Task(std::coroutine_handle<promise_type> h) : handle_(h) {}
  std::coroutine_handle<promise_type> handle_;
};

namespace detail {

// The coroutine that owns a spawned task. It registers with the loop so that the loop can destroy
// it when it is still suspended at the loop's end, and frees itself when it completes.
struct Detached {
  struct promise_type {
    EventLoop* loop = nullptr;
    Detached get_return_object() {
      return {std::coroutine_handle<promise_type>::from_promise(*this)};
    }
    std::suspend_always initial_suspend() noexcept { return {}; }
    struct Release {
      bool await_ready() noexcept { return false; }
      void await_suspend(std::coroutine_handle<promise_type> h) noexcept {
        h.promise().loop->releaseRoot(h);
        h.destroy();
      }
      void await_resume() noexcept {}
    };
    Release final_suspend() noexcept { return {}; }
    void return_void() {}
    void unhandled_exception() noexcept { std::terminate(); }
  };
  std::coroutine_handle<promise_type> handle;
};

inline Detached runDetached(Task<void> task) {
  co_await std::move(task);
}

}  // namespace detail

// Starts `task` now, on the calling (loop) thread; it runs until its first wait.
inline void spawn(EventLoop& loop, Task<void> task) {
  auto d = detail::runDetached(std::move(task));
  d.handle.promise().loop = &loop;
  loop.adoptRoot(d.handle);
  d.handle.resume();
}

namespace detail {
template <class F>
Task<> invokeOwned(F f) {
  // `f` lives in this frame, so the coroutine it starts may use its captures until it ends.
  co_await f();
}
}  // namespace detail

// Starts the coroutine that `f` makes, keeping `f` (and so its captures) alive until it ends. Use
// this for lambdas: a lambda coroutine refers to its closure, which a plain spawn(loop, l()) frees
// at its first wait.
template <class F>
requires std::is_invocable_r_v<Task<>, F&> void spawn(EventLoop& loop, F f) {
  spawn(loop, detail::invokeOwned(std::move(f)));
}

// Suspends the calling task for `d` of the loop's clock without blocking the loop.
struct [[nodiscard]] SleepAwaiter {
  EventLoop& loop;
  Duration duration;
  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> h) {
    loop.addTimer(duration, [h] { h.resume(); });
  }
  void await_resume() const noexcept {}
};
inline SleepAwaiter sleepFor(EventLoop& loop, Duration d) {
  return {loop, d};
}

// Runs `work` on a background thread and resumes the awaiting task on the loop with its result.
template <class Fn>
struct [[nodiscard]] OffloadAwaiter {
  using Result = std::invoke_result_t<Fn&>;
  EventLoop& loop;
  Fn work;
  std::optional<Result> result;

  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> h) {
    loop.runInBackground([this, h] {
      auto value = work();
      loop.post([this, h, value = std::move(value)]() mutable {
        result.emplace(std::move(value));
        h.resume();
      });
    });
  }
  Result await_resume() { return std::move(*result); }
};
template <class Fn>
OffloadAwaiter<Fn> offload(EventLoop& loop, Fn work) {
  return {loop, std::move(work), std::nullopt};
}

}  // namespace orvel
