// Scroll-wheel events of the sim desktop: records what is posted; creation can be made to fail.
#pragma once

#include <vector>

#include "platform/scroll_events.h"

namespace orvel::sim {

class SimScrollEvents : public platform::ScrollEvents {
 public:
  bool sourceWorks = true;
  // The n-th event made (1-based, counted over the whole run) fails; 0: none fails.
  int failCreationNumber = 0;
  int created = 0;
  bool sourceOpen = false;
  std::vector<platform::ScrollWheelEvent> posted;
  std::vector<Point> rests;  // where restPointer left the pointer, in order

  bool openSource() override { return sourceOpen = sourceWorks; }
  void closeSource() override { sourceOpen = false; }
  std::optional<platform::ScrollWheelEvent> createScrollWheelEvent(platform::ScrollUnit unit,
                                                                   std::int32_t wheelCount,
                                                                   std::int32_t d1, std::int32_t d2,
                                                                   std::int32_t d3) override {
    if (!sourceOpen) return std::nullopt;
    if (++created == failCreationNumber) return std::nullopt;
    auto e = platform::scrollWheelEvent(unit, wheelCount, d1, d2, d3);
    // Fields a fresh event carries until they are set.
    e.flags = 0x100;
    e.sourceUserData = -1;
    e.scrollPhase = -1;
    e.momentumPhase = -1;
    return e;
  }
  void post(const platform::ScrollWheelEvent& event) override { posted.push_back(event); }
  void restPointer(Point place) override { rests.push_back(place); }
};

}  // namespace orvel::sim
