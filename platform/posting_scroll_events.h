// The ScrollEvents of a backend that posts wheel events itself: events are plain values, made
// only while a source is open. A backend says in openSource() whether its desktop can take them
// now and records the answer with setSourceOpen().
#pragma once

#include "platform/scroll_events.h"

namespace orvel::platform {

class PostingScrollEvents : public ScrollEvents {
 public:
  void closeSource() override { sourceOpen_ = false; }
  std::optional<ScrollWheelEvent> createScrollWheelEvent(ScrollUnit unit, std::int32_t wheelCount,
                                                         std::int32_t delta1, std::int32_t delta2,
                                                         std::int32_t delta3) override {
    if (!sourceOpen_) return std::nullopt;
    return scrollWheelEvent(unit, wheelCount, delta1, delta2, delta3);
  }

 protected:
  bool setSourceOpen(bool open) {
    sourceOpen_ = open;
    return open;
  }

 private:
  bool sourceOpen_ = false;
};

}  // namespace orvel::platform
