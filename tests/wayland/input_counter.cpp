// orvel_wayland_input_counter: an ordinary application window for the tests (an xdg toplevel,
// which sway tiles over its whole output) that counts the input it receives. Reads commands on
// standard input: "count" answers "keys K buttons B focused F offset O" (presses of keys, of
// buttons and wheel events; F: 1 while it has the keyboard; O: how far its page has scrolled).
// Prints "ready" once its window is shown.
//
// It shows flat grey; with `--page SEED` it shows a long page instead, whose pixel (x, y) is
// patternPixel(x, y + O, SEED) (test_pattern.h), so that a frame tells how far it has scrolled:
// vertical wheel events scroll it by their value in surface pixels (a wheel click by 15), never
// above its top.
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/wayland/shm_buffer.h"
#include "test_pattern.h"
#include "xdg-shell-client-protocol.h"

namespace {

struct Counter {
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  wl_seat* seat = nullptr;
  xdg_wm_base* wmBase = nullptr;
  wl_surface* surface = nullptr;
  // Two, so that one can be drawn while the compositor still reads the other.
  std::unique_ptr<orvel::wayland::ShmBuffer> buffers[2];
  int width = 0, height = 0;
  bool configured = false;
  int keys = 0, buttons = 0;
  bool focused = false;
  int seed = -1;  // a long page of this seed; negative: flat grey
  double offset = 0;
  bool dirty = false;  // to be drawn once a buffer is free
};

// False while the compositor holds both buffers.
bool draw(Counter& c) {
  const int w = c.width > 0 ? c.width : 640, h = c.height > 0 ? c.height : 480;
  orvel::wayland::ShmBuffer* free = nullptr;
  for (auto& b : c.buffers) {
    if (b && b->busy()) continue;
    if (!b || b->width() != w || b->height() != h)
      b = orvel::wayland::ShmBuffer::create(c.shm, w, h, w * 4, WL_SHM_FORMAT_XRGB8888);
    free = b.get();
    break;
  }
  if (!free) return false;
  if (c.seed < 0) {
    std::memset(free->data(), 0x80, free->size());
  } else {
    const int top = static_cast<int>(std::lround(c.offset));
    for (int y = 0; y < h; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(free->data() + std::size_t(y) * w * 4);
      for (int x = 0; x < w; ++x)
        row[x] = orvel::x11test::patternPixel(x, y + top, c.seed);
    }
  }
  free->attach(c.surface);
  wl_surface_damage(c.surface, 0, 0, w, h);
  wl_surface_commit(c.surface);
  return true;
}

Counter& of(void* data) {
  return *static_cast<Counter*>(data);
}

const wl_pointer_listener kPointer = {
    [](void*, wl_pointer*, std::uint32_t, wl_surface*, wl_fixed_t, wl_fixed_t) {},
    [](void*, wl_pointer*, std::uint32_t, wl_surface*) {},
    [](void*, wl_pointer*, std::uint32_t, wl_fixed_t, wl_fixed_t) {},
    [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
      of(data).buttons += state == WL_POINTER_BUTTON_STATE_PRESSED;
    },
    [](void* data, wl_pointer*, std::uint32_t, std::uint32_t axis, wl_fixed_t value) {
      Counter& c = of(data);
      ++c.buttons;
      if (axis != WL_POINTER_AXIS_VERTICAL_SCROLL || c.seed < 0) return;
      c.offset = std::max(0.0, c.offset + wl_fixed_to_double(value));
      c.dirty = true;
    },
    [](void*, wl_pointer*) {},
    [](void*, wl_pointer*, std::uint32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

const wl_keyboard_listener kKeyboard = {
    [](void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) { ::close(fd); },
    [](void* data, wl_keyboard*, std::uint32_t, wl_surface*, wl_array*) {
      of(data).focused = true;
    },
    [](void* data, wl_keyboard*, std::uint32_t, wl_surface*) { of(data).focused = false; },
    [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
      of(data).keys += state == WL_KEYBOARD_KEY_STATE_PRESSED;
    },
    [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
       std::uint32_t) {},
    [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

const wl_seat_listener kSeat = {
    [](void* data, wl_seat* seat, std::uint32_t caps) {
      static bool pointer = false, keyboard = false;
      if ((caps & WL_SEAT_CAPABILITY_POINTER) && !pointer) {
        pointer = true;
        wl_pointer_add_listener(wl_seat_get_pointer(seat), &kPointer, data);
      }
      if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !keyboard) {
        keyboard = true;
        wl_keyboard_add_listener(wl_seat_get_keyboard(seat), &kKeyboard, data);
      }
    },
    [](void*, wl_seat*, const char*) {},
};

const xdg_wm_base_listener kWmBase = {
    [](void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

const xdg_surface_listener kXdgSurface = {
    [](void* data, xdg_surface* surface, std::uint32_t serial) {
      Counter& c = of(data);
      xdg_surface_ack_configure(surface, serial);
      c.dirty = !draw(c);
      c.configured = true;
    },
};

const xdg_toplevel_listener kToplevel = {
    [](void* data, xdg_toplevel*, std::int32_t w, std::int32_t h, wl_array*) {
      of(data).width = w;
      of(data).height = h;
    },
    [](void*, xdg_toplevel*) {},
    [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},
    [](void*, xdg_toplevel*, wl_array*) {},
};

const wl_registry_listener kRegistry = {
    [](void* data, wl_registry* r, std::uint32_t name, const char* interface, std::uint32_t) {
      Counter& c = of(data);
      if (std::strcmp(interface, wl_compositor_interface.name) == 0) {
        c.compositor =
            static_cast<wl_compositor*>(wl_registry_bind(r, name, &wl_compositor_interface, 4));
      } else if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        c.shm = static_cast<wl_shm*>(wl_registry_bind(r, name, &wl_shm_interface, 1));
      } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !c.seat) {
        c.seat = static_cast<wl_seat*>(wl_registry_bind(r, name, &wl_seat_interface, 5));
        wl_seat_add_listener(c.seat, &kSeat, data);
      } else if (std::strcmp(interface, xdg_wm_base_interface.name) == 0) {
        c.wmBase = static_cast<xdg_wm_base*>(wl_registry_bind(r, name, &xdg_wm_base_interface, 1));
        xdg_wm_base_add_listener(c.wmBase, &kWmBase, data);
      }
    },
    [](void*, wl_registry*, std::uint32_t) {},
};

}  // namespace

int main(int argc, char** argv) {
  Counter c;
  if (argc == 3 && std::strcmp(argv[1], "--page") == 0) c.seed = std::atoi(argv[2]);
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return 2;
  wl_registry_add_listener(wl_display_get_registry(display), &kRegistry, &c);
  wl_display_roundtrip(display);
  if (!c.compositor || !c.shm || !c.wmBase) return 3;
  c.surface = wl_compositor_create_surface(c.compositor);
  xdg_surface* xs = xdg_wm_base_get_xdg_surface(c.wmBase, c.surface);
  xdg_surface_add_listener(xs, &kXdgSurface, &c);
  xdg_toplevel* top = xdg_surface_get_toplevel(xs);
  xdg_toplevel_add_listener(top, &kToplevel, &c);
  xdg_toplevel_set_title(top, "Orvel input counter");
  wl_surface_commit(c.surface);
  while (!c.configured && wl_display_dispatch(display) >= 0) {
  }
  wl_display_roundtrip(display);
  std::printf("ready\n");
  std::fflush(stdout);
  std::string line;
  for (;;) {
    if (c.dirty && draw(c)) c.dirty = false;
    wl_display_flush(display);
    pollfd fds[2] = {{wl_display_get_fd(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[0].revents) {
      if (wl_display_dispatch(display) < 0) return 4;
    }
    if (fds[1].revents) {
      char buf[256];
      const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
      if (n <= 0) return 0;
      line.append(buf, static_cast<std::size_t>(n));
      for (auto nl = line.find('\n'); nl != std::string::npos; nl = line.find('\n')) {
        const std::string command = line.substr(0, nl);
        line.erase(0, nl + 1);
        // Answers after every request sent so far has been handled, with the events it caused.
        wl_display_roundtrip(display);
        if (command == "count") {
          std::printf("keys %d buttons %d focused %d offset %ld\n", c.keys, c.buttons,
                      c.focused ? 1 : 0, std::lround(c.offset));
          std::fflush(stdout);
        }
      }
    }
  }
}
