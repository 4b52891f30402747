#include "platform/kde/kde_backend.h"

#include "platform/kde/kde_region_desktop.h"
#include "platform/kde/kde_scroll_desktop.h"

namespace orvel::kde {

platform::DesktopOpening<platform::RegionDesktop> openRegionDesktop(EventLoop& loop) {
  auto desktop = std::make_unique<KdeRegionDesktop>(loop);
  if (!desktop->usable()) return unexpected(desktop->whyNot());
  return std::unique_ptr<platform::RegionDesktop>(std::move(desktop));
}

platform::DesktopOpening<platform::ScrollDesktop> openScrollDesktop(EventLoop& loop) {
  auto desktop = std::make_unique<KdeScrollDesktop>(loop);
  if (!desktop->usable()) return unexpected(desktop->whyNot());
  return std::unique_ptr<platform::ScrollDesktop>(std::move(desktop));
}

}  // namespace orvel::kde
