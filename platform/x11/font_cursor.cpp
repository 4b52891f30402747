#include "platform/x11/font_cursor.h"

namespace orvel::x11 {

XCursor fontCursor(X11Connection& connection, FontCursor glyph) {
  xcb_connection_t* c = connection.get();
  const auto shape = static_cast<std::uint16_t>(glyph);
  const xcb_font_t font = connection.generateId();
  xcb_open_font(c, font, 6, "cursor");
  const xcb_cursor_t cursor = connection.generateId();
  // The mask glyph follows its shape glyph in the font.
  xcb_create_glyph_cursor(c, cursor, font, font, shape, shape + 1, 0, 0, 0, 0xffff, 0xffff, 0xffff);
  xcb_close_font(c, font);
  return XCursor(c, cursor);
}

}  // namespace orvel::x11
