#include "platform/gnome/gnome_backend.h"

#include <cstdlib>
#include <string>

#include "platform/gnome/gnome_region_desktop.h"
#include "platform/gnome/gnome_scroll_desktop.h"

namespace orvel::gnome {

namespace {

std::string activationToken() {
  const char* token = std::getenv("XDG_ACTIVATION_TOKEN");
  return token ? token : "";
}

}  // namespace

platform::DesktopOpening<platform::RegionDesktop> openRegionDesktop(EventLoop& loop) {
  auto desktop = std::make_unique<GnomeRegionDesktop>(loop, nullptr, activationToken());
  if (!desktop->usable()) return unexpected(desktop->whyNot());
  return std::unique_ptr<platform::RegionDesktop>(std::move(desktop));
}

platform::DesktopOpening<platform::ScrollDesktop> openScrollDesktop(EventLoop& loop) {
  auto desktop = std::make_unique<GnomeScrollDesktop>(loop, nullptr, activationToken());
  if (!desktop->usable()) return unexpected(desktop->whyNot());
  return std::unique_ptr<platform::ScrollDesktop>(std::move(desktop));
}

}  // namespace orvel::gnome
