// Where a helper meets a fuzz input: virtual time, its event loop, a sim desktop and the desktop's
// overlay.
#pragma once

#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_overlay.h"

namespace orvel::fuzz {

struct SimStage {
  ManualClock clock;
  EventLoop loop{clock};
  sim::SimDesktop desktop;
  sim::SimOverlay overlay{desktop};
};

}  // namespace orvel::fuzz
