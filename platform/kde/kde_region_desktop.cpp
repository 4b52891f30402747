#include "platform/kde/kde_region_desktop.h"

#include "platform/kde/kwin_session.h"

namespace orvel::kde {

KdeRegionDesktop::KdeRegionDesktop(EventLoop& loop, const char* display)
    : LayerShellRegionDesktop(wayland::WaylandConnection::open(display)) {
  wayland::WaylandConnection* c = connection();
  if (declines(whyNotKWinCompositor(c))) return;
  capture_ = std::make_unique<KWinScreenCapture>(display);
  if (declines(capture_->whyNotAvailable())) return;
  std::string refusal;
  capture_->authorised(refusal);
  permissions_ = std::make_unique<KdePermissions>(std::move(refusal), *c);
  // KWin focuses the overlay once it has shown it.
  start(loop, wayland::FocusJudgement::kOnceShown);
}

}  // namespace orvel::kde
