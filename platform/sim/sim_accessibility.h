// Accessibility trees of the sim desktop, served from JSON scene data.
//
// An application's tree is an element object; an element's attributes are its keys: strings and
// numbers (booleans too) as they are, "AXPosition" and "AXSize" as [a, b] geometry values,
// "AXWindows" and "AXChildren" as arrays of elements. {"error": code} makes a read fail with that
// code; a missing key fails with the unsupported-attribute code. Each read can cost time on a
// manual clock, so reading deadlines can be tested exactly.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "orvel/common/clock.h"
#include "orvel/common/json_text.h"
#include "platform/accessibility.h"

namespace orvel::sim {

class SimAccessibility : public platform::Accessibility {
 public:
  // Makes `tree` the application element of `pid`.
  void setTree(std::int32_t pid, Json tree);
  // Every read advances `clock` by `cost`.
  void setReadCost(ManualClock* clock, Duration cost) {
    clock_ = clock;
    cost_ = cost;
  }

  platform::AXElement applicationElement(std::int32_t pid) override;
  void setMessagingTimeout(platform::AXElement element, float seconds) override;
  Expected<platform::AXValue, int> copyAttributeValue(platform::AXElement element,
                                                      const std::string& attribute) override;

  struct Read {
    std::string attribute;
    float timeout;  // the element's messaging timeout at the time of the read (0: never set)
  };
  const std::vector<Read>& reads() const { return reads_; }
  void clearReads() { reads_.clear(); }

 private:
  platform::AXElement elementFor(const Json* node);

  std::map<std::int32_t, Json> trees_;
  std::map<std::uint64_t, const Json*> elements_;
  std::map<const Json*, std::uint64_t> ids_;
  std::map<std::uint64_t, float> timeouts_;
  std::vector<Read> reads_;
  ManualClock* clock_ = nullptr;
  Duration cost_{};
};

}  // namespace orvel::sim
