// Interception of the user's pointer and key input while a capture is in progress. While enabled,
// every event of the installed mask goes to the handler before any application sees it; the
// handler decides whether the event passes on or is swallowed.
//
// Threads: install() on the loop thread. The handler runs on the shield's thread: a thread of its
// own where the backend reads input on a connection of its own (X11), the loop thread where it
// reads input on the main connection (Wayland); each implementation says which. A handler must
// therefore touch only state that it locks, or post to the loop. setEnabled() from any thread.
#pragma once

#include <cstdint>
#include <functional>

#include "orvel/common/geometry.h"
#include "platform/key_state.h"  // kEscapeKeyCode

namespace orvel::platform {

// Event type numbers; bit t of an event mask selects type t.
inline constexpr std::uint32_t kLeftMouseDown = 1;
inline constexpr std::uint32_t kLeftMouseUp = 2;
inline constexpr std::uint32_t kRightMouseDown = 3;
inline constexpr std::uint32_t kRightMouseUp = 4;
inline constexpr std::uint32_t kMouseMoved = 5;
inline constexpr std::uint32_t kLeftMouseDragged = 6;
inline constexpr std::uint32_t kRightMouseDragged = 7;
inline constexpr std::uint32_t kKeyDown = 10;
inline constexpr std::uint32_t kScrollWheel = 22;
inline constexpr std::uint32_t kOtherMouseDown = 25;
inline constexpr std::uint32_t kOtherMouseUp = 26;
inline constexpr std::uint32_t kOtherMouseDragged = 27;
// Notices that the system switched the interception off (it took too long, or the user did).
inline constexpr std::uint32_t kShieldDisabledByTimeout = 0xFFFFFFFE;
inline constexpr std::uint32_t kShieldDisabledByUserInput = 0xFFFFFFFF;

struct InputEvent {
  std::uint32_t type = 0;
  Point location;             // global display coordinates
  std::uint16_t keyCode = 0;  // key events only
};

class InputShield {
 public:
  // Returns true to pass the event on, false to swallow it.
  using Handler = std::function<bool(const InputEvent&)>;

  virtual ~InputShield() = default;
  // Installs the interception, disabled, with `handler` for the events of `eventMask`. Blocks until
  // it is installed or has failed; returns false when it cannot be installed. Called once.
  virtual bool install(std::uint64_t eventMask, Handler handler) = 0;
  // Any thread, the handler's included; the handler is called while enabled only.
  virtual void setEnabled(bool enabled) = 0;
};

}  // namespace orvel::platform
