// The Overlay port for instant region captures on X11. A panel starts as an input-only window: it
// covers its monitor (and carries the crosshair) but has no pixels, so the screen pictures taken
// while it is up need no window left out of them. Once its content has a picture (the frozen
// screen), the panel gains an override-redirect output window above it, which shows the content's
// backdrop (the picture dimmed, with the instruction) from a server-side pixmap drawn once per
// backdrop, and the selection's outline over it: a drag repaints only the strips under the old and
// new outlines.
//
// Panels never grab input (the input shield does). A lost display ends the capture as Escape would:
// the open panels' views receive it. Frames are screen coordinates (points, origin
// at the main monitor's bottom-left corner, y up). Loop thread only.
#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <vector>

#include "orvel/common/event_loop.h"
#include "platform/overlay.h"
#include "platform/x11/cairo_device_hold.h"
#include "platform/x11/x11_event_pump.h"
#include "platform/x11/x11_screens.h"
#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

class FrozenOverlayPanel;

class X11FrozenOverlay final : public platform::Overlay {
 public:
  X11FrozenOverlay(EventLoop& loop, X11Connection& connection, X11Screens& screens,
                   X11EventPump& pump);
  ~X11FrozenOverlay() override;

  std::unique_ptr<platform::OverlayPanel> createPanel(const platform::PanelOptions& options,
                                                      platform::OverlayView& view) override;
  // The cursor is the crosshair throughout: the panels' and the input shield's.
  void pushCursor(platform::CursorKind) override {}
  void popCursor() override {}
  void setCursor(platform::CursorKind) override {}

 private:
  friend class FrozenOverlayPanel;
  void connectionLost();
  EventLoop& loop_;
  X11Connection& connection_;
  X11Screens& screens_;
  X11EventPump& pump_;
  XCursor crosshair_;
  std::vector<FrozenOverlayPanel*> open_;  // shown and not closed
  CairoDeviceHold cairoDevice_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace orvel::x11
