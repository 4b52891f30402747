// Redraw requests of an overlay panel gathered into one redraw on a later turn of the loop, and
// dropped once the panel is gone. Loop thread only.
#pragma once

#include <functional>
#include <memory>

#include "orvel/common/event_loop.h"

namespace orvel::platform {

class CoalescedRedraw {
 public:
  CoalescedRedraw(EventLoop& loop, std::function<void()> redraw)
      : loop_(loop), state_(std::make_shared<State>(State{std::move(redraw), false})) {}
  ~CoalescedRedraw() { state_->redraw = nullptr; }
  CoalescedRedraw(const CoalescedRedraw&) = delete;
  CoalescedRedraw& operator=(const CoalescedRedraw&) = delete;

  void request() {
    if (state_->pending || !state_->redraw) return;
    state_->pending = true;
    loop_.defer([state = state_] {
      state->pending = false;
      if (state->redraw) state->redraw();
    });
  }
  // No redraw from now on.
  void stop() { state_->redraw = nullptr; }

 private:
  struct State {
    std::function<void()> redraw;
    bool pending;
  };
  EventLoop& loop_;
  std::shared_ptr<State> state_;
};

}  // namespace orvel::platform
