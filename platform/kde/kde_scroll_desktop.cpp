#include "platform/kde/kde_scroll_desktop.h"

#include "platform/kde/fake_input_scroll_events.h"
#include "platform/kde/kde_permissions.h"
#include "platform/kde/kwin_session.h"
#include "platform/linux/reported_workspace.h"
#include "platform/wayland/reported_window_server.h"

namespace orvel::kde {

namespace {

using namespace std::chrono_literals;

// Loading and starting a script is two calls KWin answers at once; generous for a loaded machine.
constexpr auto kScriptDeadline = 5s;

}  // namespace

KdeScrollDesktop::KdeScrollDesktop(EventLoop& loop, const char* display)
    : LayerShellScrollDesktop(wayland::WaylandConnection::open(display)) {
  if (auto why = whyNotKWinCompositor(connection()); !why.empty()) {
    decline(std::move(why));
    return;
  }
  capture_ = std::make_unique<KWinScreenCapture>(display);
  if (auto why = capture_->whyNotAvailable()) {
    decline(std::move(*why));
    return;
  }
  auto bus = dbus::DbusConnection::openSession(loop);
  if (!bus) {
    decline("no session bus (" + bus.error().description + ")");
    return;
  }
  bus_ = std::move(bus).value();
  std::string refusal;
  capture_->authorised(refusal);
  auto wheel = std::make_unique<FakeInputScrollEvents>(*connection());
  windowList_ = std::make_unique<KWinWindowList>(*bus_);
  // KWin focuses the overlay once it has shown it.
  start(loop, wayland::FocusJudgement::kOnceShown);
  auto permissions = std::make_unique<KdePermissions>(
      std::move(refusal), *connection(),
      wheel->available() ? std::string() : noFakeInputMessage(thisProgramPath()));
  auto windowServer =
      std::make_unique<wayland::ReportedWindowServer>(*windowList_, stage().screens());
  serve({std::move(permissions), std::move(windowServer),
         std::make_unique<platform::ReportedWorkspace>(*windowList_), std::move(wheel)});
  if (auto script = findWindowListScript()) {
    spawn(loop, startWindowList(std::move(*script)));
  } else {
    windowList_->scriptFailed("orvel/kwin/window-list.js is not installed");
  }
}

Task<> KdeScrollDesktop::startWindowList(std::string scriptTemplate) {
  auto starting = windowList_->start(std::move(scriptTemplate), kScriptDeadline);
  auto started = co_await starting;
  if (!started) windowList_->scriptFailed(started.error().description);
}

KdeScrollDesktop::~KdeScrollDesktop() {
  stop();
  // The scripts are unloaded while the bus is still there.
  windowList_.reset();
  bus_.reset();
  capture_.reset();
}

}  // namespace orvel::kde
