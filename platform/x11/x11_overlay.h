// The Overlay port on X11: override-redirect windows above everything, drawn with cairo. Where a
// compositor runs, panels are translucent (32-bit ARGB visual); without one, a panel shows a still
// of the screen under it, taken just before it maps, and the view's dimming is drawn over that.
// While a key panel is open the overlay holds the pointer and keyboard grabs (see InputGrab), with
// the crosshair cursor; they are released when the last key panel closes. Loop thread only.
#pragma once

#include <xcb/xcb.h>

#include <memory>
#include <vector>

#include "orvel/common/event_loop.h"
#include "platform/overlay.h"
#include "platform/x11/cairo_device_hold.h"
#include "platform/x11/input_grab.h"
#include "platform/x11/x11_event_pump.h"
#include "platform/x11/x11_screens.h"
#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

class X11OverlayPanel;

class X11Overlay final : public platform::Overlay {
 public:
  X11Overlay(EventLoop& loop, X11Connection& connection, X11Screens& screens, X11EventPump& pump);
  ~X11Overlay() override;

  std::unique_ptr<platform::OverlayPanel> createPanel(const platform::PanelOptions& options,
                                                      platform::OverlayView& view) override;
  void pushCursor(platform::CursorKind cursor) override;
  void popCursor() override;
  void setCursor(platform::CursorKind cursor) override;

  bool holdsPointerGrab() const { return grab_.pointerHeld(); }
  bool holdsKeyboardGrab() const { return grab_.keyboardHeld(); }
  // Whether a compositing manager runs (new panels are then translucent).
  bool compositing();

 private:
  friend class X11OverlayPanel;
  void panelShown(X11OverlayPanel* panel, bool makeKey);
  void panelClosed(X11OverlayPanel* panel);
  xcb_cursor_t currentCursor() const;
  void applyCursor();
  void connectionLost();

  EventLoop& loop_;
  X11Connection& connection_;
  X11Screens& screens_;
  X11EventPump& pump_;
  InputGrab grab_;
  XCursor arrow_;
  XCursor crosshair_;
  std::vector<platform::CursorKind> cursorStack_;
  platform::CursorKind cursor_ = platform::CursorKind::Crosshair;
  std::vector<X11OverlayPanel*> open_;
  X11OverlayPanel* key_ = nullptr;
  std::vector<xcb_keycode_t> escapeKeys_;
  CairoDeviceHold cairoDevice_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace orvel::x11
