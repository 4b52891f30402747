#include "virtual_keyboard.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "virtual-keyboard-unstable-v1-client-protocol.h"
#include "virtual_device_connection.h"

namespace orvel::waylandtest {

struct VirtualKeyboard::Objects
    : VirtualDeviceConnection<zwp_virtual_keyboard_manager_v1,
                              zwp_virtual_keyboard_manager_v1_destroy, zwp_virtual_keyboard_v1,
                              zwp_virtual_keyboard_v1_destroy> {};

namespace {

// The default keymap as text, in a sealed memory file; -1 on failure.
int defaultKeymap(std::size_t& size) {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  if (!context) return -1;
  xkb_rule_names names{};
  xkb_keymap* keymap = xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS);
  char* text = keymap ? xkb_keymap_get_as_string(keymap, XKB_KEYMAP_FORMAT_TEXT_V1) : nullptr;
  int fd = -1;
  if (text) {
    size = std::strlen(text) + 1;
    fd = ::memfd_create("orvel-test-keymap", MFD_CLOEXEC);
    if (fd >= 0 && ::write(fd, text, size) != static_cast<ssize_t>(size)) {
      ::close(fd);
      fd = -1;
    }
    std::free(text);
  }
  if (keymap) xkb_keymap_unref(keymap);
  xkb_context_unref(context);
  return fd;
}

}  // namespace

std::unique_ptr<VirtualKeyboard> VirtualKeyboard::open(const std::string& display) {
  std::unique_ptr<VirtualKeyboard> k(new VirtualKeyboard);
  k->objects_ = std::make_unique<Objects>();
  Objects& o = *k->objects_;
  if (!o.open(display, zwp_virtual_keyboard_manager_v1_interface)) return nullptr;
  std::size_t size = 0;
  const int fd = defaultKeymap(size);
  if (fd < 0) return nullptr;
  o.device = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(o.manager(), o.seat());
  zwp_virtual_keyboard_v1_keymap(o.device, XKB_KEYMAP_FORMAT_TEXT_V1, fd,
                                 static_cast<std::uint32_t>(size));
  ::close(fd);
  if (wl_display_roundtrip(o.display()) < 0) return nullptr;
  return k;
}

VirtualKeyboard::~VirtualKeyboard() = default;

void VirtualKeyboard::tap(std::initializer_list<unsigned> keys) {
  for (const unsigned key : keys) {
    zwp_virtual_keyboard_v1_key(objects_->device, time_++, key, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(objects_->device, time_++, key, WL_KEYBOARD_KEY_STATE_RELEASED);
  }
  wl_display_roundtrip(objects_->display());
}

void VirtualKeyboard::type(const std::string& text) {
  // Evdev codes of the us layout's rows.
  static const char kDigits[] = "1234567890";  // KEY_1 (2) to KEY_0 (11)
  static const char kTop[] = "qwertyuiop";     // from KEY_Q (16)
  static const char kMiddle[] = "asdfghjkl";   // from KEY_A (30)
  static const char kBottom[] = "zxcvbnm";     // from KEY_Z (44)
  for (const char c : text) {
    for (const auto& [row, first] : {std::pair{kDigits, 2u}, std::pair{kTop, 16u},
                                     std::pair{kMiddle, 30u}, std::pair{kBottom, 44u}}) {
      if (const char* at = std::strchr(row, c); at && c != '\0') {
        tap({first + static_cast<unsigned>(at - row)});
        break;
      }
    }
  }
}

}  // namespace orvel::waylandtest
