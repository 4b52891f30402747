// One overlay panel: an override-redirect window at the panel's frame (screen coordinates, points)
// that draws its content with cairo and feeds its view the button-1 drags and Escape.
#pragma once

#include <cairo.h>
#include <xcb/xcb.h>

#include <memory>

#include "platform/coalesced_redraw.h"
#include "platform/overlay.h"
#include "platform/x11/monitor_layout.h"
#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

class X11Overlay;

class X11OverlayPanel final : public platform::OverlayPanel {
 public:
  X11OverlayPanel(X11Overlay& overlay, const platform::PanelOptions& options,
                  platform::OverlayView& view);
  ~X11OverlayPanel() override;

  void show(bool makeKey) override;
  void close() override;
  Rect frame() const override { return options_.frame; }
  Point convertToScreen(Point inWindow) const override;
  Rect convertFromScreen(const Rect& inScreen) const override;

  xcb_window_t window() const { return window_.id(); }
  platform::OverlayView& view() { return view_; }
  void setCursor(xcb_cursor_t cursor);

 protected:
  void contentChanged(platform::PanelPart) override { redrawLater_.request(); }

 private:
  void create();
  void takeStill();
  void handle(const xcb_generic_event_t& event);
  void redraw();
  Point toWindow(int eventX, int eventY) const;

  X11Overlay& overlay_;
  platform::PanelOptions options_;
  platform::OverlayView& view_;
  PanelPlacement place_;
  bool translucent_ = false;
  xcb_visualtype_t* visual_ = nullptr;
  XColormap colormap_;
  XWindow window_;
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface_{
      nullptr, cairo_surface_destroy};
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> still_{nullptr,
                                                                            cairo_surface_destroy};
  bool shown_ = false;
  bool closed_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  platform::CoalescedRedraw redrawLater_;
};

}  // namespace orvel::x11
