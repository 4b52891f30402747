// The GNOME Shell row of the helpers' backend table: mutter named by $WAYLAND_DISPLAY, its
// ScreenCast service on the session bus. The region helper only so far; the scroll helper's
// desktop declines.
#pragma once

#include "orvel/common/event_loop.h"
#include "platform/desktop_opening.h"
#include "platform/region_desktop.h"
#include "platform/scroll_desktop.h"

namespace orvel::gnome {

platform::DesktopOpening<platform::RegionDesktop> openRegionDesktop(EventLoop& loop);
platform::DesktopOpening<platform::ScrollDesktop> openScrollDesktop(EventLoop& loop);

}  // namespace orvel::gnome
