// Everything the region-capture helper uses of a desktop: the shared capture ports and the input
// shield. A backend implements it; the helpers' backend table opens one (platform/backends).
#pragma once

#include "platform/capture_desktop.h"
#include "platform/input_shield.h"

namespace orvel::platform {

class RegionDesktop : public virtual CaptureDesktop {
 public:
  virtual InputShield& shield() = 0;
};

}  // namespace orvel::platform
