// The GNOME Shell row of the helpers' backend table: mutter named by $WAYLAND_DISPLAY, its
// ScreenCast service on the session bus (and, for the scroll helper, its RemoteDesktop service and
// Orvel's GNOME Shell extension).
#pragma once

#include "orvel/common/event_loop.h"
#include "platform/desktop_opening.h"
#include "platform/region_desktop.h"
#include "platform/scroll_desktop.h"

namespace orvel::gnome {

platform::DesktopOpening<platform::RegionDesktop> openRegionDesktop(EventLoop& loop);
platform::DesktopOpening<platform::ScrollDesktop> openScrollDesktop(EventLoop& loop);

}  // namespace orvel::gnome
