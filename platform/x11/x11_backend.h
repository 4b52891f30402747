// The X11 row of the helpers' backend table: the desktop of the display named by $DISPLAY.
#pragma once

#include "orvel/common/event_loop.h"
#include "platform/desktop_opening.h"
#include "platform/region_desktop.h"
#include "platform/scroll_desktop.h"

namespace orvel::x11 {

platform::DesktopOpening<platform::RegionDesktop> openRegionDesktop(EventLoop& loop);
platform::DesktopOpening<platform::ScrollDesktop> openScrollDesktop(EventLoop& loop);

}  // namespace orvel::x11
