// orvel-demo-document: a window showing a long page of text that scrolls with the mouse wheel,
// for the scrolling-capture demo. Each wheel click moves the page by three lines.
//
//   orvel-demo-document [--title T] [--lines N] [--print]   (--print: write the page's text, exit)
#include <cairo-xcb.h>
#include <cairo.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kLineHeight = 22;
constexpr double kMargin = 24;
constexpr double kClick = 3 * kLineHeight;

const char* const kWords[] = {"capture", "window",  "scroll",  "region", "display", "frame",
                              "pixel",   "overlay", "monitor", "target", "page",    "line",
                              "text",    "wheel",   "screen",  "focus",  "helper",  "document"};

std::vector<std::string> makePage(int lines) {
  std::vector<std::string> page;
  unsigned seed = 7;
  for (int i = 0; i < lines; ++i) {
    if (i % 12 == 0) {
      page.push_back("Section " + std::to_string(i / 12 + 1));
      continue;
    }
    std::string line = std::to_string(i + 1) + ".";
    const int words = 6 + static_cast<int>(seed % 7);
    for (int w = 0; w < words; ++w) {
      seed = seed * 1103515245u + 12345u;
      line += " ";
      line += kWords[(seed >> 16) % (sizeof kWords / sizeof kWords[0])];
    }
    page.push_back(line);
  }
  return page;
}

xcb_visualtype_t* rootVisual(xcb_screen_t* screen) {
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
      if (v.data->visual_id == screen->root_visual) return v.data;
    }
  }
  return nullptr;
}

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
  std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> r(
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::strlen(name), name), nullptr), std::free);
  return r ? r->atom : XCB_NONE;
}

}  // namespace

int main(int argc, char** argv) {
  std::string title = "Orvel demo document";
  int lines = 400;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--title") == 0) title = argv[i + 1];
    if (std::strcmp(argv[i], "--lines") == 0) lines = std::max(1, std::atoi(argv[i + 1]));
  }
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--print") == 0) {
      for (const auto& line : makePage(lines))
        std::printf("%s\n", line.c_str());
      return 0;
    }
  }
  xcb_connection_t* c = xcb_connect(nullptr, nullptr);
  if (xcb_connection_has_error(c)) {
    std::fprintf(stderr, "orvel-demo-document: cannot open the display\n");
    return 1;
  }
  xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
  int width = 720, height = 540;
  const xcb_window_t window = xcb_generate_id(c);
  const std::uint32_t values[] = {screen->white_pixel, XCB_EVENT_MASK_EXPOSURE |
                                                           XCB_EVENT_MASK_BUTTON_PRESS |
                                                           XCB_EVENT_MASK_STRUCTURE_NOTIFY};
  xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 80, 80, width, height, 0,
                    XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                    XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_NAME"),
                      atom(c, "UTF8_STRING"), 8, title.size(), title.data());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                      title.size(), title.data());
  // Owner pid, so that window lists can tell which application shows the page.
  const std::uint32_t pid = static_cast<std::uint32_t>(getpid());
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom(c, "_NET_WM_PID"), XCB_ATOM_CARDINAL,
                      32, 1, &pid);
  const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
  const xcb_atom_t deleteWindow = atom(c, "WM_DELETE_WINDOW");
  xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, protocols, XCB_ATOM_ATOM, 32, 1,
                      &deleteWindow);
  xcb_map_window(c, window);
  xcb_flush(c);

  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_xcb_surface_create(c, window, rootVisual(screen), width, height),
      cairo_surface_destroy);
  const std::vector<std::string> page = makePage(lines);
  double offset = 0;
  auto maxOffset = [&] { return std::max(0.0, kMargin * 2 + page.size() * kLineHeight - height); };
  auto draw = [&] {
    cairo_t* cr = cairo_create(surface.get());
    cairo_push_group(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 15);
    const int first = std::max(0, static_cast<int>((offset - kMargin) / kLineHeight) - 1);
    for (int i = first; i < static_cast<int>(page.size()); ++i) {
      const double y = kMargin + (i + 1) * kLineHeight - offset;
      if (y - kLineHeight > height) break;
      const bool heading = page[i].rfind("Section", 0) == 0;
      cairo_set_source_rgb(cr, heading ? 0.1 : 0.15, heading ? 0.25 : 0.15, heading ? 0.6 : 0.15);
      cairo_move_to(cr, kMargin, y);
      cairo_show_text(cr, page[i].c_str());
    }
    cairo_pop_group_to_source(cr);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface.get());
    xcb_flush(c);
  };

  while (xcb_generic_event_t* raw = xcb_wait_for_event(c)) {
    std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(raw, std::free);
    switch (event->response_type & 0x7f) {
      case XCB_EXPOSE:
        if (reinterpret_cast<xcb_expose_event_t*>(raw)->count == 0) draw();
        break;
      case XCB_CONFIGURE_NOTIFY: {
        auto* e = reinterpret_cast<xcb_configure_notify_event_t*>(raw);
        if (e->width != width || e->height != height) {
          width = e->width;
          height = e->height;
          cairo_xcb_surface_set_size(surface.get(), width, height);
          offset = std::min(offset, maxOffset());
        }
        break;
      }
      case XCB_BUTTON_PRESS: {
        const auto button = reinterpret_cast<xcb_button_press_event_t*>(raw)->detail;
        if (button != 4 && button != 5) break;
        offset = std::clamp(offset + (button == 5 ? kClick : -kClick), 0.0, maxOffset());
        draw();
        break;
      }
      case XCB_CLIENT_MESSAGE:
        if (reinterpret_cast<xcb_client_message_event_t*>(raw)->data.data32[0] == deleteWindow) {
          surface.reset();
          xcb_disconnect(c);
          return 0;
        }
        break;
      default:
        break;
    }
  }
  surface.reset();
  xcb_disconnect(c);
  return 0;
}
