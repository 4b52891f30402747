#include "virtual_keyboard.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <cstring>
#include <utility>

#include "virtual-keyboard-unstable-v1-client-protocol.h"

namespace orvel::waylandtest {

struct VirtualKeyboard::Objects {
  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_seat* seat = nullptr;
  zwp_virtual_keyboard_manager_v1* manager = nullptr;
  zwp_virtual_keyboard_v1* keyboard = nullptr;
  ~Objects() {
    if (keyboard) zwp_virtual_keyboard_v1_destroy(keyboard);
    if (manager) zwp_virtual_keyboard_manager_v1_destroy(manager);
    if (seat) wl_seat_destroy(seat);
    if (registry) wl_registry_destroy(registry);
    if (display) wl_display_disconnect(display);
  }
};

namespace {

const wl_registry_listener kRegistry = {
    [](void* data, wl_registry* r, std::uint32_t name, const char* interface, std::uint32_t) {
      auto* o = static_cast<std::pair<wl_seat**, zwp_virtual_keyboard_manager_v1**>*>(data);
      if (std::strcmp(interface, wl_seat_interface.name) == 0 && !*o->first) {
        *o->first = static_cast<wl_seat*>(wl_registry_bind(r, name, &wl_seat_interface, 1));
      } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        *o->second = static_cast<zwp_virtual_keyboard_manager_v1*>(
            wl_registry_bind(r, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
      }
    },
    [](void*, wl_registry*, std::uint32_t) {},
};

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
  o.display = wl_display_connect(display.c_str());
  if (!o.display) return nullptr;
  o.registry = wl_display_get_registry(o.display);
  std::pair<wl_seat**, zwp_virtual_keyboard_manager_v1**> slots{&o.seat, &o.manager};
  wl_registry_add_listener(o.registry, &kRegistry, &slots);
  if (wl_display_roundtrip(o.display) < 0 || !o.manager || !o.seat) return nullptr;
  std::size_t size = 0;
  const int fd = defaultKeymap(size);
  if (fd < 0) return nullptr;
  o.keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(o.manager, o.seat);
  zwp_virtual_keyboard_v1_keymap(o.keyboard, XKB_KEYMAP_FORMAT_TEXT_V1, fd,
                                 static_cast<std::uint32_t>(size));
  ::close(fd);
  if (wl_display_roundtrip(o.display) < 0) return nullptr;
  return k;
}

VirtualKeyboard::~VirtualKeyboard() = default;

void VirtualKeyboard::tap(std::initializer_list<unsigned> keys) {
  for (const unsigned key : keys) {
    zwp_virtual_keyboard_v1_key(objects_->keyboard, time_++, key, WL_KEYBOARD_KEY_STATE_PRESSED);
    zwp_virtual_keyboard_v1_key(objects_->keyboard, time_++, key, WL_KEYBOARD_KEY_STATE_RELEASED);
  }
  wl_display_roundtrip(objects_->display);
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
