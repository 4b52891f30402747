// The Overlay port on Wayland desktops. On wlroots compositors and KWin (role kLayerSurface): one
// zwlr_layer_surface_v1 per panel on the overlay layer of the output the panel covers, anchored to
// every edge, with no exclusive zone and exclusive keyboard interactivity, drawn with cairo into
// wl_shm buffers at the output's scale (buffer scale for whole scales, a viewport for fractional
// ones). The content's backdrop (picture, veil, instruction) is drawn once per change of it; each
// redraw copies it and strokes the selection.
//
// Two modes:
// - kFrozen (instant region captures): until its content has a picture (the frozen screen) a panel
//   shows a fully transparent buffer, so screen pictures taken meanwhile are unchanged by it; then
//   it shows its content, opaque. Input reaches the helper through the input shield, which the
//   helper installs.
// - kLive (selections over the live screen): a panel shows its content from the start,
//   blended over the screen, and the overlay installs the input shield itself and hands the views
//   their input: a left press, its drags and its release go to the panel the press was on (in that
//   panel's window coordinates, even beyond its edges), keys to the views of the shown panels.
//
// Two surface roles, one drawing and input path:
// - kLayerSurface: the layer surface above.
// - kFullscreenWindow (GNOME Shell, which offers no layer shell): one xdg_toplevel per panel made
//   fullscreen on the panel's output, the keyboard and pointer going to it as to the focused
//   window. A fullscreen window hides the shell's top bar, so in kFrozen mode it is mapped only
//   once its content has a picture (the frozen screen, top bar included); pictures are taken of
//   the desktop as the user sees it. The first window shown asks for activation with the token
//   given (the host's XDG_ACTIVATION_TOKEN), once.
//
// Panel frames are screen coordinates (points, origin at the main output's bottom-left corner,
// y up). Loop thread only.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "orvel/common/event_loop.h"
#include "platform/overlay.h"
#include "platform/wayland/wayland_connection.h"
#include "platform/wayland/wayland_input_shield.h"
#include "platform/wayland/wayland_screens.h"

namespace orvel::wayland {

class WaylandPanel;

class WaylandOverlay final : public platform::Overlay {
 public:
  enum class Mode { kFrozen, kLive };
  enum class Role { kLayerSurface, kFullscreenWindow };
  WaylandOverlay(EventLoop& loop, WaylandConnection& connection, WaylandScreens& screens,
                 WaylandInputShield& shield, Mode mode = Mode::kFrozen,
                 Role role = Role::kLayerSurface, std::string activationToken = {})
      : loop_(loop),
        connection_(connection),
        screens_(screens),
        shield_(shield),
        mode_(mode),
        role_(role),
        activationToken_(std::move(activationToken)) {}
  ~WaylandOverlay() override { *alive_ = false; }

  std::unique_ptr<platform::OverlayPanel> createPanel(const platform::PanelOptions& options,
                                                      platform::OverlayView& view) override;
  // The cursor is the crosshair throughout (the input shield sets it).
  void pushCursor(platform::CursorKind) override {}
  void popCursor() override {}
  void setCursor(platform::CursorKind) override {}
  // The compositor went away (kLive): nothing can be drawn or clicked any more, so the shown
  // selection ends as if the user pressed Escape.
  void connectionLost();

 private:
  friend class WaylandPanel;
  void shown(WaylandPanel* panel);
  void closed(WaylandPanel* panel);
  // Queues one event of the shield for the views (kLive); always swallowed.
  bool route(const platform::InputEvent& event);
  // Hands the queued events to the views, in order.
  void deliverQueued();
  void deliver(const platform::InputEvent& event);

  EventLoop& loop_;
  WaylandConnection& connection_;
  WaylandScreens& screens_;
  WaylandInputShield& shield_;
  Mode mode_;
  Role role_;
  std::string activationToken_;  // spent by the first window shown
  bool routing_ = false;
  std::vector<WaylandPanel*> shown_;
  WaylandPanel* pressed_ = nullptr;  // the panel the left button went down on
  // Events wait for a later turn of the loop: a view that asks the compositor for something while
  // it handles one would otherwise get the next one inside that call.
  std::deque<platform::InputEvent> queued_;
  bool delivering_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace orvel::wayland
