// Everything the scroll-capture helper uses of a desktop: its ports and its events. A backend
// implements it; the helpers' backend table opens one (platform/backends).
#pragma once

#include "platform/desktop_events.h"
#include "platform/key_state.h"
#include "platform/overlay.h"
#include "platform/permissions.h"
#include "platform/screen_capture.h"
#include "platform/screens.h"
#include "platform/scroll_events.h"
#include "platform/window_server.h"
#include "platform/window_shapes.h"
#include "platform/workspace.h"

namespace orvel::platform {

class ScrollDesktop : public virtual DesktopEvents {
 public:
  virtual Screens& screens() = 0;
  virtual Permissions& permissions() = 0;
  virtual KeyState& keys() = 0;
  virtual WindowServer& windowServer() = 0;
  virtual Workspace& workspace() = 0;
  virtual WindowShapes& windowShapes() = 0;
  virtual ScreenCapture& capture() = 0;
  virtual Overlay& overlay() = 0;
  virtual ScrollEvents& scrollEvents() = 0;
};

}  // namespace orvel::platform
