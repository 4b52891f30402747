// Everything the scroll-capture helper uses of a desktop: the shared capture ports, the window
// list and the wheel. A backend implements it; the helpers' backend table opens one
// (platform/backends).
#pragma once

#include "platform/capture_desktop.h"
#include "platform/key_state.h"
#include "platform/scroll_events.h"
#include "platform/window_server.h"
#include "platform/window_shapes.h"
#include "platform/workspace.h"

namespace orvel::platform {

class ScrollDesktop : public virtual CaptureDesktop {
 public:
  virtual KeyState& keys() = 0;
  virtual WindowServer& windowServer() = 0;
  virtual Workspace& workspace() = 0;
  virtual WindowShapes& windowShapes() = 0;
  virtual ScrollEvents& scrollEvents() = 0;
};

}  // namespace orvel::platform
