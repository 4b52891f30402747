#pragma once

#include <cstdint>

namespace orvel::platform {

// Virtual key code of Escape in the key-code space the helpers use.
inline constexpr std::uint16_t kEscapeKeyCode = 53;
// The code backends give every other key: the helpers act on Escape alone.
inline constexpr std::uint16_t kOtherKeyCode = 0xFFFF;

// The state of the keyboard as the whole session sees it. Called on the loop thread.
class KeyState {
 public:
  virtual ~KeyState() = default;
  virtual bool isKeyDown(std::uint16_t keyCode) = 0;
};

}  // namespace orvel::platform
