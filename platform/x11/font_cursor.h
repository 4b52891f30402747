// Cursors from the X server's standard cursor font.
#pragma once

#include <cstdint>

#include "platform/x11/x11_connection.h"
#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

// Glyph numbers of the cursor font.
enum class FontCursor : std::uint16_t { crosshair = 34, arrow = 68 };

XCursor fontCursor(X11Connection& connection, FontCursor glyph);

}  // namespace orvel::x11
