#include "platform/gnome/gnome_scroll_desktop.h"

#include "platform/gnome/gnome_scroll_events.h"
#include "platform/gnome/mutter_compositor.h"
#include "platform/linux/reported_workspace.h"
#include "platform/wayland/reported_window_server.h"
#include "platform/wayland/wayland_permissions.h"

namespace orvel::gnome {

namespace {

using namespace std::chrono_literals;

// Three calls the bus daemon answers at once; generous for a loaded machine.
constexpr auto kListDeadline = 5s;

}  // namespace

GnomeScrollDesktop::GnomeScrollDesktop(EventLoop& loop, const char* display,
                                       std::string activationToken)
    : LayerShellScrollDesktop(wayland::WaylandConnection::open(display)) {
  if (auto why = whyNotMutter(connection()); !why.empty()) {
    decline(std::move(why));
    return;
  }
  capture_ = std::make_unique<GnomeFrameCapture>(display);
  if (auto why = capture_->whyNotAvailable()) {
    decline(std::move(*why));
    return;
  }
  auto wheel = std::make_unique<GnomeScrollEvents>();
  if (auto why = wheel->whyNotAvailable()) {
    decline(std::move(*why));
    return;
  }
  auto bus = dbus::DbusConnection::openSession(loop);
  if (!bus) {
    decline("no session bus (" + bus.error().description + ")");
    return;
  }
  bus_ = std::move(bus).value();
  windowList_ = std::make_unique<GnomeWindowList>(*bus_);
  // Mutter focuses a new window only after it has mapped it (gnome_region_desktop.h).
  start(loop, wayland::FocusJudgement::kNever, wayland::WaylandOverlay::Role::kFullscreenWindow,
        std::move(activationToken));
  // The services answered: pictures and wheel steps need nobody's consent.
  auto permissions = std::make_unique<wayland::WaylandPermissions>(true, true);
  permissions->allowWhileReachable(*connection());
  serve({std::move(permissions),
         std::make_unique<wayland::ReportedWindowServer>(*windowList_, stage().screens()),
         std::make_unique<platform::ReportedWorkspace>(*windowList_), std::move(wheel)});
  spawn(loop, startWindowList());
}

Task<> GnomeScrollDesktop::startWindowList() {
  auto starting = windowList_->start(kListDeadline);
  auto started = co_await starting;
  if (!started) windowList_->startFailed(started.error().description);
}

GnomeScrollDesktop::~GnomeScrollDesktop() {
  stop();
  windowList_.reset();
  bus_.reset();
  capture_.reset();
}

}  // namespace orvel::gnome
