// The KeyState port on Wayland. Wayland gives no client the keyboard's state while another
// surface has the focus, so no key reads as down: while the selection overlay is up it reads the
// keys itself (Escape cancels there), but while the helper scrolls another application, Escape
// cannot stop the capture; the host's own controls can.
#pragma once

#include "platform/key_state.h"

namespace orvel::wayland {

class WaylandKeyState final : public platform::KeyState {
 public:
  bool isKeyDown(std::uint16_t keyCode) override;
};

}  // namespace orvel::wayland
