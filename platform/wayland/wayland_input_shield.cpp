#include "platform/wayland/wayland_input_shield.h"

#include <linux/input-event-codes.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-cursor.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <cstring>

namespace orvel::wayland {

namespace {

WaylandInputShield& shieldOf(void* data) {
  return *static_cast<WaylandInputShield*>(data);
}

const wl_pointer_listener kPointerListener = {
    [](void* data, wl_pointer*, std::uint32_t serial, wl_surface* surface, wl_fixed_t x,
       wl_fixed_t y) {
      shieldOf(data).pointerEnter(serial, surface, wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    [](void* data, wl_pointer*, std::uint32_t, wl_surface* surface) {
      shieldOf(data).pointerLeave(surface);
    },
    [](void* data, wl_pointer*, std::uint32_t, wl_fixed_t x, wl_fixed_t y) {
      shieldOf(data).pointerMotion(wl_fixed_to_double(x), wl_fixed_to_double(y));
    },
    [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t button,
       std::uint32_t state) {
      shieldOf(data).pointerButton(button, state == WL_POINTER_BUTTON_STATE_PRESSED);
    },
    [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, wl_fixed_t) {
      shieldOf(data).pointerAxis();
    },
    [](void*, wl_pointer*) {},
    [](void*, wl_pointer*, std::uint32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

const wl_keyboard_listener kKeyboardListener = {
    [](void* data, wl_keyboard*, std::uint32_t format, std::int32_t fd, std::uint32_t size) {
      shieldOf(data).keymap(format, fd, size);
    },
    [](void* data, wl_keyboard*, std::uint32_t, wl_surface* surface, wl_array*) {
      shieldOf(data).keyboardEnter(surface);
    },
    [](void* data, wl_keyboard*, std::uint32_t, wl_surface* surface) {
      shieldOf(data).keyboardLeave(surface);
    },
    [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t key,
       std::uint32_t state) { shieldOf(data).key(key, state == WL_KEYBOARD_KEY_STATE_PRESSED); },
    [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t depressed, std::uint32_t latched,
       std::uint32_t locked,
       std::uint32_t group) { shieldOf(data).modifiers(depressed, latched, locked, group); },
    [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

const wl_callback_listener kFocusCheckListener = {
    [](void* data, wl_callback* callback, std::uint32_t) { shieldOf(data).synced(callback); },
};

}  // namespace

WaylandInputShield::WaylandInputShield(WaylandConnection& connection, FocusJudgement judgement)
    : connection_(connection), xkb_(xkb_context_new(XKB_CONTEXT_NO_FLAGS)), judgement_(judgement) {}

WaylandInputShield::~WaylandInputShield() {
  connection_.onSeatCapabilities(nullptr);
}

bool WaylandInputShield::install(std::uint64_t eventMask, Handler handler) {
  if (installed_ || !connection_.ok() || !connection_.seat() ||
      (!connection_.layerShell() && !connection_.wmBase()))
    return false;
  mask_ = eventMask;
  handler_ = std::move(handler);
  installed_ = true;
  if (connection_.shm()) {
    cursorTheme_.reset(wl_cursor_theme_load(nullptr, 24, connection_.shm()));
    if (cursorTheme_) {
      crosshair_ = wl_cursor_theme_get_cursor(cursorTheme_.get(), "crosshair");
      if (!crosshair_) crosshair_ = wl_cursor_theme_get_cursor(cursorTheme_.get(), "cross");
    }
    cursorSurface_.reset(wl_compositor_create_surface(connection_.compositor()));
  }
  connection_.onSeatCapabilities([this](std::uint32_t caps) { capabilities(caps); });
  capabilities(connection_.seatCapabilities());
  connection_.flush();
  return true;
}

void WaylandInputShield::capabilities(std::uint32_t caps) {
  if ((caps & WL_SEAT_CAPABILITY_POINTER) && !pointer_) {
    pointer_.reset(wl_seat_get_pointer(connection_.seat()));
    wl_pointer_add_listener(pointer_.get(), &kPointerListener, this);
  } else if (!(caps & WL_SEAT_CAPABILITY_POINTER)) {
    pointer_.reset();
  }
  if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !keyboard_) {
    keyboard_.reset(wl_seat_get_keyboard(connection_.seat()));
    wl_keyboard_add_listener(keyboard_.get(), &kKeyboardListener, this);
  } else if (!(caps & WL_SEAT_CAPABILITY_KEYBOARD)) {
    keyboard_.reset();
  }
}

void WaylandInputShield::addSurface(wl_surface* surface, Point origin, double unit) {
  surfaces_[surface] = {origin, unit};
  if (!installed_ || judgement_ != FocusJudgement::kOnceMapped) return;
  checks_.push_back({WlPtr<wl_callback>(wl_display_sync(connection_.display())), surface, false});
  wl_callback_add_listener(checks_.back().sync.get(), &kFocusCheckListener, this);
}

void WaylandInputShield::surfaceShown(wl_surface* surface) {
  if (!installed_ || judgement_ != FocusJudgement::kOnceShown || !surfaces_.count(surface)) return;
  // One sync: whatever KWin sent with the frame callback has been handled by its answer.
  checks_.push_back({WlPtr<wl_callback>(wl_display_sync(connection_.display())), surface, true});
  wl_callback_add_listener(checks_.back().sync.get(), &kFocusCheckListener, this);
  connection_.flush();
}

void WaylandInputShield::removeSurface(wl_surface* surface) {
  surfaces_.erase(surface);
  if (keyboardOn_ == surface) keyboardOn_ = nullptr;
  for (auto& check : checks_) {
    if (check.surface == surface) check.surface = nullptr;
  }
}

void WaylandInputShield::synced(wl_callback* callback) {
  auto check = std::find_if(checks_.begin(), checks_.end(),
                            [callback](const FocusCheck& c) { return c.sync.get() == callback; });
  if (check == checks_.end()) return;
  if (!check->second && check->surface) {
    // The first commit has been answered (with a configure, acknowledged by a commit with a
    // buffer): once this one is too, the compositor has decided the focus.
    check->second = true;
    check->sync.reset(wl_display_sync(connection_.display()));
    wl_callback_add_listener(check->sync.get(), &kFocusCheckListener, this);
    connection_.flush();
    return;
  }
  const bool judged = check->surface != nullptr;
  checks_.erase(check);
  if (!judged || !keyboard_ || surfaces_.count(keyboardOn_)) return;
  if (grabFailed_) grabFailed_();
}

void WaylandInputShield::setCrosshair(std::uint32_t serial) {
  if (!pointer_ || !crosshair_ || !cursorSurface_ || crosshair_->image_count == 0) return;
  wl_cursor_image* image = crosshair_->images[0];
  wl_buffer* buffer = wl_cursor_image_get_buffer(image);
  if (!buffer) return;
  wl_surface_attach(cursorSurface_.get(), buffer, 0, 0);
  wl_surface_damage(cursorSurface_.get(), 0, 0, static_cast<std::int32_t>(image->width),
                    static_cast<std::int32_t>(image->height));
  wl_surface_commit(cursorSurface_.get());
  wl_pointer_set_cursor(pointer_.get(), serial, cursorSurface_.get(),
                        static_cast<std::int32_t>(image->hotspot_x),
                        static_cast<std::int32_t>(image->hotspot_y));
}

void WaylandInputShield::pointerEnter(std::uint32_t serial, wl_surface* surface, double x,
                                      double y) {
  if (!surfaces_.count(surface)) return;
  under_ = surface;
  setCrosshair(serial);
  pointerMotion(x, y);
}

void WaylandInputShield::pointerLeave(wl_surface* surface) {
  if (surface == under_) under_ = nullptr;
}

void WaylandInputShield::pointerMotion(double x, double y) {
  auto placed = surfaces_.find(under_);
  if (placed == surfaces_.end()) return;
  const Placed& p = placed->second;
  location_ = {p.origin.x + x * p.unit, p.origin.y + y * p.unit};
  deliver(leftDown_    ? platform::kLeftMouseDragged
          : rightDown_ ? platform::kRightMouseDragged
          : otherDown_ ? platform::kOtherMouseDragged
                       : platform::kMouseMoved);
}

void WaylandInputShield::pointerButton(std::uint32_t button, bool pressed) {
  if (!surfaces_.count(under_)) return;
  if (button == BTN_LEFT) {
    leftDown_ = pressed;
    deliver(pressed ? platform::kLeftMouseDown : platform::kLeftMouseUp);
  } else if (button == BTN_RIGHT) {
    rightDown_ = pressed;
    deliver(pressed ? platform::kRightMouseDown : platform::kRightMouseUp);
  } else {
    otherDown_ = pressed;
    deliver(pressed ? platform::kOtherMouseDown : platform::kOtherMouseUp);
  }
}

void WaylandInputShield::pointerAxis() {
  if (surfaces_.count(under_)) deliver(platform::kScrollWheel);
}

void WaylandInputShield::keymap(std::uint32_t format, int fd, std::uint32_t size) {
  if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0 && xkb_) {
    void* text = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (text != MAP_FAILED) {
      WlPtr<xkb_keymap> map(
          xkb_keymap_new_from_buffer(xkb_.get(), static_cast<const char*>(text),
                                     ::strnlen(static_cast<const char*>(text), size),
                                     XKB_KEYMAP_FORMAT_TEXT_V1, XKB_KEYMAP_COMPILE_NO_FLAGS));
      ::munmap(text, size);
      if (map) {
        state_.reset(xkb_state_new(map.get()));
        keymap_ = std::move(map);
      }
    }
  }
  ::close(fd);
}

void WaylandInputShield::key(std::uint32_t key, bool pressed) {
  if (!pressed) return;
  // Before any keymap (a virtual keyboard that went away leaves none) the evdev code tells.
  const bool escape =
      state_ ? xkb_state_key_get_one_sym(state_.get(), key + 8) == XKB_KEY_Escape : key == KEY_ESC;
  deliver(platform::kKeyDown, escape ? platform::kEscapeKeyCode : platform::kOtherKeyCode);
}

void WaylandInputShield::modifiers(std::uint32_t depressed, std::uint32_t latched,
                                   std::uint32_t locked, std::uint32_t group) {
  if (state_) xkb_state_update_mask(state_.get(), depressed, latched, locked, 0, 0, group);
}

void WaylandInputShield::deliver(std::uint32_t type, std::uint16_t keyCode) {
  if (!installed_ || !enabled_ || !(mask_ & (std::uint64_t{1} << type)) || !handler_) return;
  handler_({type, location_, keyCode});
}

}  // namespace orvel::wayland
