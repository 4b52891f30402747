#include "platform/x11/x11_backend.h"

#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_region_desktop.h"

namespace orvel::x11 {

namespace {
constexpr const char* kNoDisplay = "no display answers at DISPLAY";
}  // namespace

platform::DesktopOpening<platform::RegionDesktop> openRegionDesktop(EventLoop& loop) {
  auto desktop = std::make_unique<X11RegionDesktop>(loop);
  if (!desktop->connected()) return unexpected(std::string(kNoDisplay));
  return std::unique_ptr<platform::RegionDesktop>(std::move(desktop));
}

platform::DesktopOpening<platform::ScrollDesktop> openScrollDesktop(EventLoop& loop) {
  auto desktop = std::make_unique<X11Desktop>(loop);
  if (!desktop->connected()) return unexpected(std::string(kNoDisplay));
  return std::unique_ptr<platform::ScrollDesktop>(std::move(desktop));
}

}  // namespace orvel::x11
