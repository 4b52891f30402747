#include "platform/x11/x11_screens.h"

#include <xcb/randr.h>

#include "platform/x11/x11_event_pump.h"

namespace orvel::x11 {

X11Screens::X11Screens(X11Connection& connection) : connection_(connection) {
  if (connection_.extensions().randr) {
    xcb_randr_select_input(connection_.get(), connection_.root(),
                           XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE |
                               XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE);
  }
}

const MonitorLayout& X11Screens::layout() {
  if (!layout_) layout_ = MonitorLayout::read(connection_);
  return *layout_;
}

std::vector<platform::ScreenInfo> X11Screens::screens() {
  std::vector<platform::ScreenInfo> out;
  if (!connection_.ok()) return out;
  const MonitorLayout& l = layout();
  const double mainHeight = l.mainHeight();
  for (const auto& m : l.monitors()) {
    const Rect g = l.toGlobal(m.pixels);
    out.push_back({Rect{g.x, mainHeight - g.maxY(), g.width, g.height}, m.id, l.scale()});
  }
  return out;
}

std::optional<Rect> X11Screens::displayBounds(std::uint32_t displayID) {
  if (!connection_.ok()) return std::nullopt;
  const MonitorLayout& l = layout();
  if (const Monitor* m = l.find(displayID)) return l.toGlobal(m->pixels);
  return std::nullopt;
}

void invalidateOnMonitorChanges(X11EventPump& pump, X11Connection& connection,
                                X11Screens& screens) {
  if (!connection.extensions().randr) return;
  const std::uint8_t base = xcb_get_extension_data(connection.get(), &xcb_randr_id)->first_event;
  pump.addListener([&screens, base](const xcb_generic_event_t& e) {
    const std::uint8_t type = e.response_type & 0x7f;
    if (type == base + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == base + XCB_RANDR_NOTIFY) {
      screens.invalidate();
    }
  });
}

}  // namespace orvel::x11
