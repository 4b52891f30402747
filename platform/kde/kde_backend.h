// The KDE Plasma row of the helpers' backend table: KWin named by $WAYLAND_DISPLAY, its screenshot
// service on the session bus.
#pragma once

#include "orvel/common/event_loop.h"
#include "platform/desktop_opening.h"
#include "platform/region_desktop.h"
#include "platform/scroll_desktop.h"

namespace orvel::kde {

platform::DesktopOpening<platform::RegionDesktop> openRegionDesktop(EventLoop& loop);
platform::DesktopOpening<platform::ScrollDesktop> openScrollDesktop(EventLoop& loop);

}  // namespace orvel::kde
