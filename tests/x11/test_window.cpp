// A window for the X11 tests: known title and pid, a pattern whose pixels tell their position, a
// count of wheel clicks, and commands on standard input to change it. Prints "ready <window id>"
// once its content is on screen, and "ok" (or an answer) after each command once the server has
// processed it.
//
//   orvel_x11_test_window --title T --x X --y Y --width W --height H [--seed S] [--pid P]
//                         [--override-redirect] [--extra N] [--type dock|notification]
//                         [--no-background] [--page ROWS --click PX [--header N] [--footer N]]
// With --page the window is a view of a page of ROWS pattern rows that the wheel scrolls by PX
// rows a click, between N fixed rows at the top and bottom (patterns of seeds S+1 and S+2).
// Commands: move X Y | resize W H | title T | raise | lower | clicks | quit
//           defer (keep Expose events unanswered) | repaint (answer the kept ones, stop keeping)
//           shape X Y W H (what it draws and takes clicks on, in window pixels) | shape none
#include <poll.h>
#include <unistd.h>
#include <xcb/shape.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "test_pattern.h"

namespace {

struct Options {
  std::string title = "Orvel test window";
  int x = 0, y = 0, width = 400, height = 300, seed = 0, extra = 0;
  long pid = 0;
  bool overrideRedirect = false;
  bool noBackground = false;
  std::string type;  // EWMH window type without its prefix: "DOCK", "NOTIFICATION"
  int page = 0, click = 40, header = 0, footer = 0;
};

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  auto* r = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr);
  xcb_atom_t a = r ? r->atom : XCB_NONE;
  std::free(r);
  return a;
}

void sync(xcb_connection_t* c) {
  std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

class TestWindow {
 public:
  TestWindow(xcb_connection_t* c, xcb_screen_t* s, const Options& o) : c_(c), s_(s), o_(o) {
    netWmName_ = atom(c, "_NET_WM_NAME");
    utf8_ = atom(c, "UTF8_STRING");
    const std::uint32_t pid = static_cast<std::uint32_t>(o.pid ? o.pid : ::getpid());
    // Clutter for the window-list benchmark: plain windows of the same process, created first so
    // that they lie below the main window.
    for (int i = 0; i < o.extra; ++i) {
      xcb_window_t w = create(o.x + 20 + i % 40 * 5, o.y + 20 + i / 40 * 5, 50, 50, false);
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, atom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL,
                          32, 1, &pid);
      xcb_map_window(c, w);
    }
    window_ = create(o.x, o.y, o.width, o.height, o.overrideRedirect);
    if (o.noBackground) {
      const std::uint32_t none = XCB_BACK_PIXMAP_NONE;
      xcb_change_window_attributes(c, window_, XCB_CW_BACK_PIXMAP, &none);
    }
    gc_ = xcb_generate_id(c);
    xcb_create_gc(c, gc_, window_, 0, nullptr);
    setTitle(o.title);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, atom(c, "_NET_WM_PID"),
                        XCB_ATOM_CARDINAL, 32, 1, &pid);
    if (!o.type.empty()) {
      const xcb_atom_t type = atom(c, ("_NET_WM_WINDOW_TYPE_" + o.type).c_str());
      xcb_change_property(c, XCB_PROP_MODE_REPLACE, window_, atom(c, "_NET_WM_WINDOW_TYPE"),
                          XCB_ATOM_ATOM, 32, 1, &type);
    }
    xcb_map_window(c, window_);
    xcb_flush(c);
  }

  xcb_window_t window() const { return window_; }
  int width() const { return width_; }

  xcb_window_t create(int x, int y, int w, int h, bool overrideRedirect) {
    xcb_window_t id = xcb_generate_id(c_);
    const std::uint32_t values[] = {
        s_->black_pixel, overrideRedirect ? 1u : 0u,
        XCB_EVENT_MASK_EXPOSURE | XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY};
    xcb_create_window(c_, XCB_COPY_FROM_PARENT, id, s_->root, static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), static_cast<std::uint16_t>(w),
                      static_cast<std::uint16_t>(h), 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      s_->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT | XCB_CW_EVENT_MASK, values);
    // WM_NORMAL_HINTS with a user position, so that window managers keep the requested place.
    std::uint32_t hints[18] = {};
    hints[0] = 1 | 2;  // USPosition | USSize
    hints[1] = static_cast<std::uint32_t>(x);
    hints[2] = static_cast<std::uint32_t>(y);
    hints[3] = static_cast<std::uint32_t>(w);
    hints[4] = static_cast<std::uint32_t>(h);
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    return id;
  }

  void setTitle(const std::string& title) {
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, netWmName_, utf8_, 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
    xcb_change_property(c_, XCB_PROP_MODE_REPLACE, window_, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                        static_cast<std::uint32_t>(title.size()), title.data());
  }

  // Paints rows [y0, y1) of the pattern, in requests that fit the server's limit. A 16-bit server
  // gets the top 5, 6 and 5 bits of each channel.
  void paint(int y0, int y1) {
    const int w = width_;
    const bool deep = s_->root_depth != 16;
    const std::size_t stride = deep ? static_cast<std::size_t>(w) * 4 : (w * 2 + 3) / 4 * 4;
    const std::size_t maxBytes = xcb_get_maximum_request_length(c_) * 4 - 64;
    const int rowsPerRequest = std::max<int>(1, static_cast<int>(maxBytes / stride));
    std::vector<std::uint8_t> rows;
    for (int y = y0; y < y1; y += rowsPerRequest) {
      const int n = std::min(rowsPerRequest, y1 - y);
      rows.assign(stride * n, 0);
      for (int r = 0; r < n; ++r) {
        for (int x = 0; x < w; ++x) {
          const auto [row, seed] = source(y + r);
          const std::uint32_t p = orvel::x11test::patternPixel(x, row, seed);
          std::uint8_t* at = rows.data() + stride * r;
          if (deep) {
            std::memcpy(at + x * 4, &p, 4);
          } else {
            const std::uint16_t v = static_cast<std::uint16_t>(
                ((p >> 19) & 0x1f) << 11 | ((p >> 10) & 0x3f) << 5 | ((p >> 3) & 0x1f));
            std::memcpy(at + x * 2, &v, 2);
          }
        }
      }
      xcb_put_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, window_, gc_, static_cast<std::uint16_t>(w),
                    static_cast<std::uint16_t>(n), 0, static_cast<std::int16_t>(y), 0,
                    s_->root_depth, static_cast<std::uint32_t>(rows.size()), rows.data());
    }
  }

  // The pattern row and seed that window row `y` shows.
  std::pair<int, int> source(int y) const {
    if (o_.page == 0) return {y, o_.seed};
    if (y < o_.header) return {y, o_.seed + 1};
    if (y >= height_ - o_.footer) return {y, o_.seed + 2};
    return {y - o_.header + offset_, o_.seed};
  }

  // Returns true once the window was first painted.
  bool handle(xcb_generic_event_t* e) {
    switch (e->response_type & 0x7f) {
      case XCB_EXPOSE: {
        auto* x = reinterpret_cast<xcb_expose_event_t*>(e);
        if (x->window != window_) return false;
        if (deferring_) {
          deferred_.push_back({x->y, std::min<int>(x->y + x->height, height_)});
          return false;
        }
        paint(x->y, std::min<int>(x->y + x->height, height_));
        xcb_flush(c_);
        if (!painted_) {
          painted_ = true;
          return true;
        }
        return false;
      }
      case XCB_CONFIGURE_NOTIFY: {
        auto* x = reinterpret_cast<xcb_configure_notify_event_t*>(e);
        if (x->window == window_) {
          width_ = x->width;
          height_ = x->height;
        }
        return false;
      }
      case XCB_BUTTON_PRESS: {
        auto* x = reinterpret_cast<xcb_button_press_event_t*>(e);
        if (x->detail == 4) ++up_;
        if (x->detail == 5) ++down_;
        if (o_.page > 0 && (x->detail == 4 || x->detail == 5)) {
          const int last = std::max(0, o_.page - (height_ - o_.header - o_.footer));
          offset_ = std::clamp(offset_ + (x->detail == 5 ? o_.click : -o_.click), 0, last);
          paint(0, height_);
          xcb_flush(c_);
        }
        return false;
      }
      default:
        return false;
    }
  }

  void command(const std::string& line) {
    char word[32] = {};
    int a = 0, b = 0, w = 0, h = 0;
    std::sscanf(line.c_str(), "%31s %d %d %d %d", word, &a, &b, &w, &h);
    const std::string cmd = word;
    if (cmd == "shape") {
      if (line == "shape none") {
        xcb_shape_mask(c_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, window_, 0, 0, XCB_NONE);
        xcb_shape_mask(c_, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, window_, 0, 0, XCB_NONE);
      } else {
        const xcb_rectangle_t r{static_cast<std::int16_t>(a), static_cast<std::int16_t>(b),
                                static_cast<std::uint16_t>(w), static_cast<std::uint16_t>(h)};
        for (auto kind : {XCB_SHAPE_SK_BOUNDING, XCB_SHAPE_SK_INPUT}) {
          xcb_shape_rectangles(c_, XCB_SHAPE_SO_SET, kind, XCB_CLIP_ORDERING_UNSORTED, window_, 0,
                               0, 1, &r);
        }
      }
    } else if (cmd == "move") {
      const std::uint32_t v[] = {static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b)};
      xcb_configure_window(c_, window_, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, v);
    } else if (cmd == "resize") {
      const std::uint32_t v[] = {static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(b)};
      xcb_configure_window(c_, window_, XCB_CONFIG_WINDOW_WIDTH | XCB_CONFIG_WINDOW_HEIGHT, v);
    } else if (cmd == "title") {
      setTitle(line.size() > 6 ? line.substr(6) : std::string());
    } else if (cmd == "raise" || cmd == "lower") {
      const std::uint32_t v = cmd == "raise" ? XCB_STACK_MODE_ABOVE : XCB_STACK_MODE_BELOW;
      xcb_configure_window(c_, window_, XCB_CONFIG_WINDOW_STACK_MODE, &v);
    } else if (cmd == "clicks") {
      sync(c_);
      drain();
      std::printf("clicks %d %d\n", up_, down_);
      std::fflush(stdout);
      return;
    } else if (cmd == "defer") {
      deferring_ = true;
    } else if (cmd == "repaint") {
      deferring_ = false;
      for (auto [y0, y1] : deferred_)
        paint(y0, y1);
      deferred_.clear();
    } else if (cmd == "quit") {
      std::exit(0);
    }
    sync(c_);
    std::printf("ok\n");
    std::fflush(stdout);
  }

  void drain() {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
      handle(e);
      std::free(e);
    }
  }

 private:
  xcb_connection_t* c_;
  xcb_screen_t* s_;
  Options o_;
  xcb_window_t window_ = 0;
  xcb_gcontext_t gc_ = 0;
  xcb_atom_t netWmName_ = 0, utf8_ = 0;
  int width_ = o_.width, height_ = o_.height;
  int up_ = 0, down_ = 0;
  int offset_ = 0;  // the page row at the top of the moving band
  bool painted_ = false;
  bool deferring_ = false;
  std::vector<std::pair<int, int>> deferred_;  // row ranges owed
};

}  // namespace

int main(int argc, char** argv) {
  Options o;
  // The options that take a whole number.
  const std::pair<std::string_view, int Options::*> kNumbers[] = {
      {"--x", &Options::x},           {"--y", &Options::y},         {"--width", &Options::width},
      {"--height", &Options::height}, {"--seed", &Options::seed},   {"--extra", &Options::extra},
      {"--page", &Options::page},     {"--click", &Options::click}, {"--header", &Options::header},
      {"--footer", &Options::footer},
  };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    const auto number = std::find_if(std::begin(kNumbers), std::end(kNumbers),
                                     [&](const auto& n) { return n.first == a; });
    if (number != std::end(kNumbers))
      o.*number->second = std::atoi(next().c_str());
    else if (a == "--title")
      o.title = next();
    else if (a == "--pid")
      o.pid = std::atol(next().c_str());
    else if (a == "--override-redirect")
      o.overrideRedirect = true;
    else if (a == "--no-background")
      o.noBackground = true;
    else if (a == "--type")
      o.type = next();
  }
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) return 1;
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  TestWindow window(c, screen, o);
  std::string pending;
  bool ready = false;
  for (;;) {
    while (xcb_generic_event_t* e = xcb_poll_for_event(c)) {
      if (window.handle(e) && !ready) {
        ready = true;
        sync(c);
        std::printf("ready %u\n", window.window());
        std::fflush(stdout);
      }
      std::free(e);
    }
    if (xcb_connection_has_error(c)) return 1;
    pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents & (POLLIN | POLLHUP)) {
      char buffer[4096];
      const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
      if (n <= 0) return 0;
      pending.append(buffer, static_cast<std::size_t>(n));
      for (std::size_t eol; (eol = pending.find('\n')) != std::string::npos;) {
        const std::string line = pending.substr(0, eol);
        pending.erase(0, eol + 1);
        window.drain();
        window.command(line);
      }
    }
  }
}
