#include "platform/kde/kde_scroll_desktop.h"

#include "platform/kde/fake_input_scroll_events.h"
#include "platform/kde/kwin_session.h"
#include "platform/linux/reported_workspace.h"
#include "platform/wayland/wayland_key_state.h"

namespace orvel::kde {

namespace {

using namespace std::chrono_literals;

// Loading and starting a script is two calls KWin answers at once; generous for a loaded machine.
constexpr auto kScriptDeadline = 5s;

}  // namespace

KdeScrollDesktop::KdeScrollDesktop(EventLoop& loop, const char* display)
    : connection_(wayland::WaylandConnection::open(display)) {
  whyNot_ = whyNotKWinCompositor(connection_.get());
  if (!whyNot_.empty()) return;
  capture_ = std::make_unique<KWinScreenCapture>(display);
  if (auto why = capture_->whyNotAvailable()) {
    whyNot_ = *why;
    return;
  }
  auto bus = dbus::DbusConnection::openSession(loop);
  if (!bus) {
    whyNot_ = "no session bus (" + bus.error().description + ")";
    return;
  }
  bus_ = std::move(bus).value();
  std::string refusal;
  capture_->authorised(refusal);
  auto wheel = std::make_unique<FakeInputScrollEvents>(*connection_);
  usable_ = true;
  windowList_ = std::make_unique<KWinWindowList>(*bus_);
  pump_ = std::make_unique<wayland::WaylandEventPump>(loop, *connection_);
  screens_ = std::make_unique<wayland::WaylandScreens>(*connection_);
  permissions_ = std::make_unique<KdePermissions>(
      std::move(refusal), *connection_,
      wheel->available() ? std::string() : noFakeInputMessage(thisProgramPath()));
  keys_ = std::make_unique<wayland::WaylandKeyState>();
  windowServer_ = std::make_unique<wayland::ReportedWindowServer>(*windowList_, *screens_);
  workspace_ = std::make_unique<platform::ReportedWorkspace>(*windowList_);
  // KWin focuses the overlay only once it has shown it (kde_region_desktop.h).
  shield_ = std::make_unique<wayland::WaylandInputShield>(*connection_, /*judgesFocus=*/false);
  overlay_ = std::make_unique<wayland::WaylandOverlay>(loop, *connection_, *screens_, *shield_,
                                                       wayland::WaylandOverlay::Mode::kLive);
  scrollEvents_ = std::move(wheel);
  pump_->onConnectionLost([overlay = overlay_.get()] { overlay->connectionLost(); });
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
  overlay_.reset();
  shield_.reset();
  pump_.reset();
  // The scripts are unloaded while the bus is still there.
  windowList_.reset();
  bus_.reset();
  capture_.reset();
}

}  // namespace orvel::kde
