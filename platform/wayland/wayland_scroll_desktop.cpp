#include "platform/wayland/wayland_scroll_desktop.h"

#include "platform/wayland/sway_workspace.h"
#include "platform/wayland/virtual_pointer_scroll_events.h"
#include "platform/wayland/wayland_key_state.h"

namespace orvel::wayland {

WaylandScrollDesktop::WaylandScrollDesktop(EventLoop& loop, const char* display,
                                           const char* swaySocket)
    : connection_(WaylandConnection::open(display)) {
  whyNot_ = whyNotForCapture(connection_.get());
  if (!whyNot_.empty()) return;
  // Without sway's IPC the display still works: "select" then names what is missing.
  windowList_ = SwayWindowList::open(swaySocket);
  capture_ = std::make_unique<WaylandFrameCapture>(display, windowList_.get());
  auto wheel = std::make_unique<VirtualPointerScrollEvents>(display);
  if (!capture_->available()) {
    whyNot_ = "the Wayland compositor refused a second connection";
    return;
  }
  usable_ = true;
  pump_ = std::make_unique<WaylandEventPump>(loop, *connection_);
  screens_ = std::make_unique<WaylandScreens>(*connection_);
  // Without virtual pointers nothing can scroll: "select" answers with the reply naming them.
  permissions_ = std::make_unique<WaylandPermissions>(
      WaylandPermissions::forScrolling(*connection_, wheel->available()));
  permissions_->allowWhileReachable(*connection_);
  keys_ = std::make_unique<WaylandKeyState>();
  // Sway reports no resize or floating move: the target check asks for the tree, once a turn.
  windowServer_ =
      std::make_unique<SwayWindowServer>(*windowList_, *screens_, SwayFreshness::kAsk, &loop);
  workspace_ = std::make_unique<SwayWorkspace>(*windowList_);
  shield_ = std::make_unique<WaylandInputShield>(*connection_);
  overlay_ = std::make_unique<WaylandOverlay>(loop, *connection_, *screens_, *shield_,
                                              WaylandOverlay::Mode::kLive);
  scrollEvents_ = std::move(wheel);
  pump_->onConnectionLost([overlay = overlay_.get()] { overlay->connectionLost(); });
}

WaylandScrollDesktop::~WaylandScrollDesktop() {
  overlay_.reset();
  shield_.reset();
  pump_.reset();
  capture_.reset();
}

}  // namespace orvel::wayland
