#include "platform/x11/x11_key_state.h"

#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

std::vector<xcb_keycode_t> keycodesFor(X11Connection& connection, xcb_keysym_t keysym) {
  std::vector<xcb_keycode_t> out;
  xcb_connection_t* c = connection.get();
  const xcb_setup_t* setup = xcb_get_setup(c);
  const int count = setup->max_keycode - setup->min_keycode + 1;
  const Reply<xcb_get_keyboard_mapping_reply> r(
      connection,
      xcb_get_keyboard_mapping(c, setup->min_keycode, static_cast<std::uint8_t>(count)));
  if (!r || r->keysyms_per_keycode == 0) return out;
  const xcb_keysym_t* syms = xcb_get_keyboard_mapping_keysyms(r.get());
  const int n = xcb_get_keyboard_mapping_keysyms_length(r.get());
  for (int i = 0; i < n; ++i) {
    if (syms[i] != keysym) continue;
    const auto code = static_cast<xcb_keycode_t>(setup->min_keycode + i / r->keysyms_per_keycode);
    if (out.empty() || out.back() != code) out.push_back(code);
  }
  return out;
}

X11KeyState::X11KeyState(X11Connection& connection)
    : connection_(connection), escape_(keycodesFor(connection, kEscapeKeysym)) {}

bool X11KeyState::isKeyDown(std::uint16_t keyCode) {
  if (keyCode != platform::kEscapeKeyCode || escape_.empty() || !connection_.ok()) return false;
  xcb_connection_t* c = connection_.get();
  const Reply<xcb_query_keymap_reply> r(connection_, xcb_query_keymap(c));
  if (!r) return false;
  for (xcb_keycode_t code : escape_) {
    if (r->keys[code / 8] & (1u << (code % 8))) return true;
  }
  return false;
}

}  // namespace orvel::x11
