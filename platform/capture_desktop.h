// The ports that both capture helpers use of a desktop, and its events. The region and scroll
// desktops extend it; it is a virtual base so that one object may serve both helpers (the null
// desktop, the simulated one) with one answer per port.
#pragma once

#include "platform/desktop_events.h"
#include "platform/overlay.h"
#include "platform/permissions.h"
#include "platform/screen_capture.h"
#include "platform/screens.h"

namespace orvel::platform {

class CaptureDesktop : public virtual DesktopEvents {
 public:
  virtual Screens& screens() = 0;
  virtual Permissions& permissions() = 0;
  virtual ScreenCapture& capture() = 0;
  virtual Overlay& overlay() = 0;
};

}  // namespace orvel::platform
