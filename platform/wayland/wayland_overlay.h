// The Overlay port for instant region captures on wlroots compositors: one zwlr_layer_surface_v1
// per panel on the overlay layer of the output the panel covers, anchored to every edge, with no
// exclusive zone and exclusive keyboard interactivity. Until its view draws a picture (the frozen
// screen) a panel shows a fully transparent buffer, so screen pictures taken meanwhile are
// unchanged by it; then it shows the picture dimmed, with the instruction and the selection, drawn
// with cairo into wl_shm buffers at the output's scale (buffer scale for whole scales, a viewport
// for fractional ones). The still part is drawn once per picture; a drag copies it and strokes
// the outline.
//
// Panel frames are screen coordinates (points, origin at the main output's bottom-left corner,
// y up). Input reaches the helper through the input shield. Loop thread only.
#pragma once

#include "orvel/common/event_loop.h"
#include "platform/overlay.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_input_shield.h"
#include "platform/wayland/wayland_screens.h"

namespace orvel::wayland {

class WaylandOverlay final : public platform::Overlay {
 public:
  WaylandOverlay(EventLoop& loop, WaylandConnection& connection, WaylandScreens& screens,
                 WaylandInputShield& shield)
      : loop_(loop), connection_(connection), screens_(screens), shield_(shield) {}

  std::unique_ptr<platform::OverlayPanel> createPanel(const platform::PanelOptions& options,
                                                      platform::OverlayView& view) override;
  // The cursor is the crosshair throughout (the input shield sets it).
  void pushCursor(platform::CursorKind) override {}
  void popCursor() override {}
  void setCursor(platform::CursorKind) override {}

 private:
  friend class LayerPanel;
  EventLoop& loop_;
  WaylandConnection& connection_;
  WaylandScreens& screens_;
  WaylandInputShield& shield_;
};

}  // namespace orvel::wayland
