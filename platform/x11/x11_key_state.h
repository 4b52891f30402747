// The KeyState port on X11: QueryKeymap, with the helpers' key codes mapped to the X keycodes that
// carry the same key symbol in the current keyboard mapping. Only Escape is mapped; other codes
// read as up. Main thread only.
#pragma once

#include <xcb/xcb.h>

#include <vector>

#include "platform/key_state.h"
#include "platform/x11/x11_connection.h"

namespace orvel::x11 {

inline constexpr xcb_keysym_t kEscapeKeysym = 0xff1b;

// The keycodes whose mapping holds `keysym`. One round trip.
std::vector<xcb_keycode_t> keycodesFor(X11Connection& connection, xcb_keysym_t keysym);

class X11KeyState final : public platform::KeyState {
 public:
  explicit X11KeyState(X11Connection& connection);
  bool isKeyDown(std::uint16_t keyCode) override;

 private:
  X11Connection& connection_;
  std::vector<xcb_keycode_t> escape_;
};

}  // namespace orvel::x11
