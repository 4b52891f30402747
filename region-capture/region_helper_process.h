// Start-up of the region-capture helper process on a desktop: requests are read from standard
// input on a thread of their own, replies go to standard output, trace lines to standard error,
// and the main loop runs until "quit" or the end of input.
#pragma once

#include "orvel/common/event_loop.h"
#include "platform/region_desktop.h"

namespace orvel::region {

// Never returns: ends the process with the helper's exit status.
[[noreturn]] void runRegionCaptureHelper(EventLoop& loop, platform::RegionDesktop& desktop);

}  // namespace orvel::region
