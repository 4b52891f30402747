// orvel_wayland_input_counter: an ordinary application for the tests whose windows (xdg toplevels,
// which sway tiles) count the input they receive. `--windows N` opens N windows (default 1),
// titled "Orvel input counter" and then "Orvel input counter 2" and so on. Reads commands on
// standard input:
//   "count" answers "keys K buttons B focused F": presses of keys, of buttons and wheel events;
//     F: 1 while one of its windows has the keyboard;
//   "focus" answers "focus I": the number (from 1) of the window that has the keyboard, 0: none;
//   "wheel" answers "wheel axis A value V discrete D steps S wheel W": vertical axis events and the
//     sum of their values (surface pixels, positive towards the content's end), axis_discrete
//     events and the sum of their steps, and axis_source events that named a wheel.
// Prints "ready" once the compositor has drawn each of its windows.
//
// The windows show flat grey; with `--page SEED` each shows a long page instead, whose pixel
// (x, y) is patternPixel(x, y + O, SEED) (test_pattern.h), O being how far the vertical wheel
// events it got have scrolled it (their values in surface pixels, never above its top), so that a
// frame tells how far it has scrolled. "page" answers "page O".
#include <poll.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/wayland/shm_buffer.h"
#include "test_pattern.h"
#include "xdg-shell-client-protocol.h"

namespace {

struct Window {
  int number = 0;
  wl_surface* surface = nullptr;
  // Two, so that one can be drawn while the compositor still reads the other.
  std::unique_ptr<orvel::wayland::ShmBuffer> buffers[2];
  int width = 0, height = 0;
  bool configured = false;
  double offset = 0;   // how far its page has scrolled
  bool dirty = false;  // to be drawn once a buffer is free
  bool shown = false;  // the compositor has drawn it where it placed it
};

struct Counter {
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  wl_seat* seat = nullptr;
  xdg_wm_base* wmBase = nullptr;
  std::vector<std::unique_ptr<Window>> windows;
  bool pointer = false, keyboard = false;
  int keys = 0, buttons = 0;
  int focused = 0;  // the number of the window with the keyboard
  int axisEvents = 0, discreteEvents = 0, discreteSteps = 0, wheelSources = 0;
  double axisValue = 0;
  int seed = -1;              // pages of this seed; negative: flat grey
  Window* pointed = nullptr;  // the window under the pointer
};

// False while the compositor holds both buffers.
bool draw(Window& w, wl_shm* shm, int seed) {
  const int width = w.width > 0 ? w.width : 640, height = w.height > 0 ? w.height : 480;
  orvel::wayland::ShmBuffer* free = nullptr;
  for (auto& b : w.buffers) {
    if (b && b->busy()) continue;
    if (!b || b->width() != width || b->height() != height)
      b = orvel::wayland::ShmBuffer::create(shm, width, height, width * 4, WL_SHM_FORMAT_XRGB8888);
    free = b.get();
    break;
  }
  if (!free) return false;
  if (seed < 0) {
    std::memset(free->data(), 0x80, free->size());
  } else {
    const int top = static_cast<int>(std::lround(w.offset));
    for (int y = 0; y < height; ++y) {
      auto* row = reinterpret_cast<std::uint32_t*>(free->data() + std::size_t(y) * width * 4);
      for (int x = 0; x < width; ++x)
        row[x] = orvel::x11test::patternPixel(x, y + top, seed);
    }
  }
  free->attach(w.surface);
  wl_surface_damage(w.surface, 0, 0, width, height);
  wl_surface_commit(w.surface);
  return true;
}

Counter& of(void* data) {
  return *static_cast<Counter*>(data);
}

Window* windowOf(Counter& c, wl_surface* surface) {
  for (const auto& w : c.windows)
    if (w->surface == surface) return w.get();
  return nullptr;
}

int windowNumber(Counter& c, wl_surface* surface) {
  const Window* w = windowOf(c, surface);
  return w ? w->number : 0;
}

const wl_pointer_listener kPointer = {
    [](void* data, wl_pointer*, std::uint32_t, wl_surface* surface, wl_fixed_t, wl_fixed_t) {
      of(data).pointed = windowOf(of(data), surface);
    },
    [](void* data, wl_pointer*, std::uint32_t, wl_surface*) { of(data).pointed = nullptr; },
    [](void*, wl_pointer*, std::uint32_t, wl_fixed_t, wl_fixed_t) {},
    [](void* data, wl_pointer*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
      of(data).buttons += state == WL_POINTER_BUTTON_STATE_PRESSED;
    },
    [](void* data, wl_pointer*, std::uint32_t, std::uint32_t axis, wl_fixed_t value) {
      Counter& c = of(data);
      ++c.buttons;
      if (axis != WL_POINTER_AXIS_VERTICAL_SCROLL) return;
      ++c.axisEvents;
      c.axisValue += wl_fixed_to_double(value);
      if (c.seed < 0 || !c.pointed) return;
      c.pointed->offset = std::max(0.0, c.pointed->offset + wl_fixed_to_double(value));
      c.pointed->dirty = true;
    },
    [](void*, wl_pointer*) {},
    [](void* data, wl_pointer*, std::uint32_t source) {
      of(data).wheelSources += source == WL_POINTER_AXIS_SOURCE_WHEEL;
    },
    [](void*, wl_pointer*, std::uint32_t, std::uint32_t) {},
    [](void* data, wl_pointer*, std::uint32_t axis, std::int32_t discrete) {
      if (axis != WL_POINTER_AXIS_VERTICAL_SCROLL) return;
      ++of(data).discreteEvents;
      of(data).discreteSteps += discrete;
    },
    [](void*, wl_pointer*, std::uint32_t, std::int32_t) {},
};

const wl_keyboard_listener kKeyboard = {
    [](void*, wl_keyboard*, std::uint32_t, std::int32_t fd, std::uint32_t) { ::close(fd); },
    [](void* data, wl_keyboard*, std::uint32_t, wl_surface* surface, wl_array*) {
      of(data).focused = windowNumber(of(data), surface);
    },
    [](void* data, wl_keyboard*, std::uint32_t, wl_surface*) { of(data).focused = 0; },
    [](void* data, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t state) {
      of(data).keys += state == WL_KEYBOARD_KEY_STATE_PRESSED;
    },
    [](void*, wl_keyboard*, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
       std::uint32_t) {},
    [](void*, wl_keyboard*, std::int32_t, std::int32_t) {},
};

const wl_seat_listener kSeat = {
    [](void* data, wl_seat* seat, std::uint32_t caps) {
      Counter& c = of(data);
      if ((caps & WL_SEAT_CAPABILITY_POINTER) && !c.pointer) {
        c.pointer = true;
        wl_pointer_add_listener(wl_seat_get_pointer(seat), &kPointer, data);
      }
      if ((caps & WL_SEAT_CAPABILITY_KEYBOARD) && !c.keyboard) {
        c.keyboard = true;
        wl_keyboard_add_listener(wl_seat_get_keyboard(seat), &kKeyboard, data);
      }
    },
    [](void*, wl_seat*, const char*) {},
};

const xdg_wm_base_listener kWmBase = {
    [](void*, xdg_wm_base* base, std::uint32_t serial) { xdg_wm_base_pong(base, serial); },
};

struct WindowOf {
  Counter* counter;
  Window* window;
};

const wl_callback_listener kFrameDone = {
    [](void* data, wl_callback* callback, std::uint32_t) {
      static_cast<Window*>(data)->shown = true;
      wl_callback_destroy(callback);
    },
};

const xdg_surface_listener kXdgSurface = {
    [](void* data, xdg_surface* surface, std::uint32_t serial) {
      auto* of = static_cast<WindowOf*>(data);
      Window& w = *of->window;
      xdg_surface_ack_configure(surface, serial);
      // sway places a new view once it has drawn its first buffer at the size it asked for;
      // until then input aimed at the window's place misses it.
      if (!w.shown) wl_callback_add_listener(wl_surface_frame(w.surface), &kFrameDone, &w);
      w.dirty = !draw(w, of->counter->shm, of->counter->seed);
      w.configured = true;
    },
};

const xdg_toplevel_listener kToplevel = {
    [](void* data, xdg_toplevel*, std::int32_t width, std::int32_t height, wl_array*) {
      auto* of = static_cast<WindowOf*>(data);
      of->window->width = width;
      of->window->height = height;
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

bool allShown(const Counter& c) {
  for (const auto& w : c.windows)
    if (!w->configured || !w->shown) return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int count = 1;
  Counter c;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--windows") == 0) count = std::atoi(argv[i + 1]);
    if (std::strcmp(argv[i], "--page") == 0) c.seed = std::atoi(argv[i + 1]);
  }
  if (count < 1 || count > 128) return 1;
  wl_display* display = wl_display_connect(nullptr);
  if (!display) return 2;
  wl_registry_add_listener(wl_display_get_registry(display), &kRegistry, &c);
  wl_display_roundtrip(display);
  if (!c.compositor || !c.shm || !c.wmBase) return 3;
  std::vector<WindowOf> links(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    c.windows.push_back(std::make_unique<Window>());
    Window& w = *c.windows.back();
    w.number = i + 1;
    links[static_cast<std::size_t>(i)] = {&c, &w};
    w.surface = wl_compositor_create_surface(c.compositor);
    xdg_surface* xs = xdg_wm_base_get_xdg_surface(c.wmBase, w.surface);
    xdg_surface_add_listener(xs, &kXdgSurface, &links[static_cast<std::size_t>(i)]);
    xdg_toplevel* top = xdg_surface_get_toplevel(xs);
    xdg_toplevel_add_listener(top, &kToplevel, &links[static_cast<std::size_t>(i)]);
    const std::string title =
        i == 0 ? "Orvel input counter" : "Orvel input counter " + std::to_string(i + 1);
    xdg_toplevel_set_title(top, title.c_str());
    wl_surface_commit(w.surface);
  }
  while (!allShown(c) && wl_display_dispatch(display) >= 0) {
  }
  wl_display_roundtrip(display);
  std::printf("ready\n");
  std::fflush(stdout);
  std::string line;
  for (;;) {
    for (auto& w : c.windows)
      if (w->dirty && draw(*w, c.shm, c.seed)) w->dirty = false;
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
          std::printf("keys %d buttons %d focused %d\n", c.keys, c.buttons, c.focused ? 1 : 0);
        } else if (command == "focus") {
          std::printf("focus %d\n", c.focused);
        } else if (command == "page") {
          std::printf("page %ld\n", c.windows.empty() ? 0L : std::lround(c.windows[0]->offset));
        } else if (command == "wheel") {
          std::printf("wheel axis %d value %.2f discrete %d steps %d wheel %d\n", c.axisEvents,
                      c.axisValue, c.discreteEvents, c.discreteSteps, c.wheelSources);
        }
        std::fflush(stdout);
      }
    }
  }
}
