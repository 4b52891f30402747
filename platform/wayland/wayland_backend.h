// The wlroots row of the helpers' backend table: the compositor named by $WAYLAND_DISPLAY when it
// offers the wlroots protocols, and for the scroll helper sway's IPC at $SWAYSOCK.
#pragma once

#include "orvel/common/event_loop.h"
#include "platform/desktop_opening.h"
#include "platform/region_desktop.h"
#include "platform/scroll_desktop.h"

namespace orvel::wayland {

platform::DesktopOpening<platform::RegionDesktop> openRegionDesktop(EventLoop& loop);
platform::DesktopOpening<platform::ScrollDesktop> openScrollDesktop(EventLoop& loop);

}  // namespace orvel::wayland
