#include "platform/wayland/wayland_key_state.h"

namespace orvel::wayland {

bool WaylandKeyState::isKeyDown(std::uint16_t) {
  return false;
}

}  // namespace orvel::wayland
