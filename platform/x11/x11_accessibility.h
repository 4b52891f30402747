// Accessibility on X11: not read yet (AT-SPI would be the way). Every read fails as a request that
// could not complete, so callers judge the Dock and notification windows by their frames.
#pragma once

#include "platform/accessibility.h"

namespace orvel::x11 {

class X11Accessibility final : public platform::Accessibility {
 public:
  platform::AXElement applicationElement(std::int32_t pid) override {
    return {static_cast<std::uint64_t>(static_cast<std::uint32_t>(pid))};
  }
  void setMessagingTimeout(platform::AXElement, float) override {}
  Expected<platform::AXValue, int> copyAttributeValue(platform::AXElement,
                                                      const std::string&) override {
    return unexpected(platform::kAXErrorCannotComplete);
  }
};

}  // namespace orvel::x11
