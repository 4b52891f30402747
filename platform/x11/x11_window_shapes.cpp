#include "platform/x11/x11_window_shapes.h"

#include <xcb/shape.h>

#include <algorithm>

#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

namespace {

// More rectangles than a dock or a popup outline needs: the reader counts the window whole.
constexpr int kMaxRectangles = 1024;

std::vector<PixelRect> rectangles(const xcb_shape_get_rectangles_reply_t& reply) {
  std::vector<PixelRect> out;
  const xcb_rectangle_t* r = xcb_shape_get_rectangles_rectangles(&reply);
  const int n = xcb_shape_get_rectangles_rectangles_length(&reply);
  out.reserve(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    out.push_back({r[i].x, r[i].y, r[i].width, r[i].height});
  return out;
}

}  // namespace

X11WindowShapes::X11WindowShapes(X11Connection& connection, X11Screens& screens)
    : connection_(connection), screens_(screens) {
  available_ = connection_.extensions().shape;
}

std::optional<std::vector<Rect>> X11WindowShapes::contentShape(std::uint32_t windowID) {
  if (!available_ || !connection_.ok()) return std::nullopt;
  xcb_connection_t* c = connection_.get();
  using Rectangles = Reply<xcb_shape_get_rectangles_reply>;
  const Reply<xcb_shape_query_extents_reply> extents(connection_,
                                                     xcb_shape_query_extents(c, windowID));
  const Rectangles bounding(connection_,
                            xcb_shape_get_rectangles(c, windowID, XCB_SHAPE_SK_BOUNDING));
  const Rectangles input(connection_, xcb_shape_get_rectangles(c, windowID, XCB_SHAPE_SK_INPUT));
  const Reply<xcb_get_geometry_reply> geometry(connection_, xcb_get_geometry(c, windowID));
  const Reply<xcb_translate_coordinates_reply> origin(
      connection_, xcb_translate_coordinates(c, windowID, connection_.root(), 0, 0));
  if (!extents || !bounding || !input || !geometry || !origin) return std::nullopt;
  if (xcb_shape_get_rectangles_rectangles_length(bounding.get()) > kMaxRectangles ||
      xcb_shape_get_rectangles_rectangles_length(input.get()) > kMaxRectangles) {
    return std::nullopt;
  }
  const std::vector<PixelRect> drawn = rectangles(*bounding);
  const std::vector<PixelRect> clicked = rectangles(*input);
  // Unset regions read back as the window with its border; the input region then follows the
  // bounding one.
  const int bw = geometry->border_width;
  const PixelRect whole{-bw, -bw, geometry->width + 2 * bw, geometry->height + 2 * bw};
  const bool inputSet = !(clicked.size() == 1 && clicked[0] == whole);
  if (!extents->bounding_shaped && !inputSet) return std::nullopt;

  const MonitorLayout& layout = screens_.layout();
  std::vector<Rect> out;
  for (const PixelRect& d : drawn) {
    for (const PixelRect& i : clicked) {
      PixelRect both = d.intersection(i);
      if (both.empty()) continue;
      both.x += origin->dst_x;
      both.y += origin->dst_y;
      out.push_back(layout.toGlobal(both));
    }
  }
  return out;
}

}  // namespace orvel::x11
