#include "platform/wayland/wayland_backend.h"

#include "platform/wayland/wayland_region_desktop.h"
#include "platform/wayland/wayland_scroll_desktop.h"

namespace orvel::wayland {

namespace {

template <class Interface, class Desktop>
platform::DesktopOpening<Interface> opened(std::unique_ptr<Desktop> desktop) {
  if (!desktop->usable()) return unexpected(desktop->whyNot());
  return std::unique_ptr<Interface>(std::move(desktop));
}

}  // namespace

platform::DesktopOpening<platform::RegionDesktop> openRegionDesktop(EventLoop& loop) {
  return opened<platform::RegionDesktop>(std::make_unique<WaylandRegionDesktop>(loop));
}

platform::DesktopOpening<platform::ScrollDesktop> openScrollDesktop(EventLoop& loop) {
  return opened<platform::ScrollDesktop>(std::make_unique<WaylandScrollDesktop>(loop));
}

}  // namespace orvel::wayland
