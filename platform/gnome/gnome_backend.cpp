#include "platform/gnome/gnome_backend.h"

#include <cstdlib>

#include "platform/gnome/gnome_region_desktop.h"

namespace orvel::gnome {

platform::DesktopOpening<platform::RegionDesktop> openRegionDesktop(EventLoop& loop) {
  const char* token = std::getenv("XDG_ACTIVATION_TOKEN");
  auto desktop = std::make_unique<GnomeRegionDesktop>(loop, nullptr, token ? token : "");
  if (!desktop->usable()) return unexpected(desktop->whyNot());
  return std::unique_ptr<platform::RegionDesktop>(std::move(desktop));
}

platform::DesktopOpening<platform::ScrollDesktop> openScrollDesktop(EventLoop&) {
  return unexpected(std::string("scrolling capture is not available on GNOME Shell yet"));
}

}  // namespace orvel::gnome
