// Everything the region-capture helper uses of a desktop: its ports and its events. A backend
// implements it; the helpers' backend table opens one (platform/backends).
#pragma once

#include "platform/desktop_events.h"
#include "platform/input_shield.h"
#include "platform/overlay.h"
#include "platform/permissions.h"
#include "platform/screen_capture.h"
#include "platform/screens.h"

namespace orvel::platform {

class RegionDesktop : public virtual DesktopEvents {
 public:
  virtual Screens& screens() = 0;
  virtual Permissions& permissions() = 0;
  virtual ScreenCapture& capture() = 0;
  virtual Overlay& overlay() = 0;
  virtual InputShield& shield() = 0;
};

}  // namespace orvel::platform
