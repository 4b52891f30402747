// Start-up of the scroll-capture helper process: standard input is read on a thread of its own,
// replies go to standard output, and the main loop runs until "close" or the end of input.
#pragma once

#include "orvel/common/event_loop.h"
#include "platform/scroll_desktop.h"
#include "scroll_ports.h"

namespace orvel::scroll {

// Never returns: ends the process with status 0 ("close", end of input, or a host that closed our
// output) or 2 (a reply that cannot be encoded).
[[noreturn]] void runScrollCaptureHelper(EventLoop& loop, ScrollPorts ports);
// The same on a desktop's ports, the content bounds read from its window shapes.
[[noreturn]] void runScrollCaptureHelper(EventLoop& loop, platform::ScrollDesktop& desktop);

}  // namespace orvel::scroll
