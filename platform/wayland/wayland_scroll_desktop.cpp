#include "platform/wayland/wayland_scroll_desktop.h"

#include "platform/wayland/sway_window_server.h"
#include "platform/wayland/sway_workspace.h"
#include "platform/wayland/virtual_pointer_scroll_events.h"
#include "platform/wayland/wayland_permissions.h"

namespace orvel::wayland {

WaylandScrollDesktop::WaylandScrollDesktop(EventLoop& loop, const char* display,
                                           const char* swaySocket)
    : LayerShellScrollDesktop(WaylandConnection::open(display)) {
  if (declines(whyNotForCapture(connection()))) return;
  // Without sway's IPC the display still works: "select" then names what is missing.
  windowList_ = SwayWindowList::open(swaySocket);
  capture_ = std::make_unique<WaylandFrameCapture>(display, windowList_.get());
  auto wheel = std::make_unique<VirtualPointerScrollEvents>(display);
  if (!capture_->available()) {
    decline("the Wayland compositor refused a second connection");
    return;
  }
  start(loop, FocusJudgement::kOnceMapped);
  // Without virtual pointers nothing can scroll: "select" answers with the reply naming them.
  auto permissions = std::make_unique<WaylandPermissions>(
      WaylandPermissions::forScrolling(*connection(), wheel->available()));
  permissions->allowWhileReachable(*connection());
  // Sway reports no resize or floating move: the target check asks for the tree, once a turn.
  serve({std::move(permissions),
         std::make_unique<SwayWindowServer>(*windowList_, stage().screens(), SwayFreshness::kAsk,
                                            &loop),
         std::make_unique<SwayWorkspace>(*windowList_), std::move(wheel)});
}

WaylandScrollDesktop::~WaylandScrollDesktop() {
  stop();
  capture_.reset();
}

}  // namespace orvel::wayland
