// The Wayland ports of the scroll-capture helper on sway: outputs, live overlay and keys of every
// layer-shell desktop (layer_shell_scroll_desktop.h), frames on a connection of their own, and the
// window list from sway's IPC. Usable only when the compositor offers layer surfaces, screencopy,
// a seat and wl_shm. When sway's IPC does not answer, "select" fails with a reply naming it
// (sway_window_server.h).
//
// Window shapes: sway's IPC does not list layer-shell surfaces (bars, docks, notifications), so
// the target check judges every view by its frame.
#pragma once

#include <memory>

#include "orvel/common/event_loop.h"
#include "platform/wayland/layer_shell_scroll_desktop.h"
#include "platform/wayland/sway_window_list.h"
#include "platform/wayland/wayland_frame_capture.h"

namespace orvel::wayland {

class WaylandScrollDesktop final : public LayerShellScrollDesktop {
 public:
  // `display` null: $WAYLAND_DISPLAY; `swaySocket` null: $SWAYSOCK.
  explicit WaylandScrollDesktop(EventLoop& loop, const char* display = nullptr,
                                const char* swaySocket = nullptr);
  ~WaylandScrollDesktop() override;

  // Valid only when usable.
  platform::ScreenCapture& capture() override { return *capture_; }
  SwayWindowList& windowList() { return *windowList_; }

 private:
  std::unique_ptr<SwayWindowList> windowList_;
  std::unique_ptr<WaylandFrameCapture> capture_;
};

}  // namespace orvel::wayland
