#include "platform/gnome/gnome_scroll_desktop.h"

#include "platform/gnome/gnome_scroll_events.h"
#include "platform/gnome/gnome_window_list.h"
#include "platform/gnome/mutter_compositor.h"
#include "platform/wayland/wayland_permissions.h"

namespace orvel::gnome {

namespace {

using namespace std::chrono_literals;

// Three calls the bus daemon answers at once; generous for a loaded machine.
constexpr auto kListDeadline = 5s;

}  // namespace

GnomeScrollDesktop::GnomeScrollDesktop(EventLoop& loop, const char* display,
                                       std::string activationToken)
    : ReportedScrollDesktop(wayland::WaylandConnection::open(display)) {
  if (declines(whyNotMutter(connection()))) return;
  capture_ = std::make_unique<GnomeFrameCapture>(display);
  if (declines(capture_->whyNotAvailable())) return;
  auto wheel = std::make_unique<GnomeScrollEvents>();
  if (declines(wheel->whyNotAvailable())) return;
  if (!openBus(loop)) return;
  // Mutter focuses a new window as it shows it (gnome_region_desktop.cpp).
  start(loop, wayland::FocusJudgement::kOnceShown, wayland::WaylandOverlay::Role::kFullscreenWindow,
        std::move(activationToken));
  // The services answered: pictures and wheel steps need nobody's consent.
  auto permissions = std::make_unique<wayland::WaylandPermissions>(true, true);
  permissions->allowWhileReachable(*connection());
  auto list = std::make_unique<GnomeWindowList>(bus());
  GnomeWindowList& extension = *list;
  serveReported(loop, std::move(list), std::move(permissions), std::move(wheel),
                [&extension] { return extension.start(kListDeadline); });
}

}  // namespace orvel::gnome
