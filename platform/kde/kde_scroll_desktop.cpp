#include "platform/kde/kde_scroll_desktop.h"

#include "platform/kde/fake_input_scroll_events.h"
#include "platform/kde/kde_permissions.h"
#include "platform/kde/kwin_session.h"
#include "platform/kde/kwin_window_list.h"

namespace orvel::kde {

namespace {

using namespace std::chrono_literals;

// Loading and starting a script is two calls KWin answers at once; generous for a loaded machine.
constexpr auto kScriptDeadline = 5s;

Task<Expected<void, Failure>> scriptMissing() {
  co_return failed("orvel/kwin/window-list.js is not installed");
}

}  // namespace

KdeScrollDesktop::KdeScrollDesktop(EventLoop& loop, const char* display)
    : ReportedScrollDesktop(wayland::WaylandConnection::open(display)) {
  if (declines(whyNotKWinCompositor(connection()))) return;
  capture_ = std::make_unique<KWinScreenCapture>(display);
  if (declines(capture_->whyNotAvailable())) return;
  if (!openBus(loop)) return;
  std::string refusal;
  capture_->authorised(refusal);
  auto wheel = std::make_unique<FakeInputScrollEvents>(*connection());
  // KWin focuses the overlay once it has shown it.
  start(loop, wayland::FocusJudgement::kOnceShown);
  auto permissions = std::make_unique<KdePermissions>(
      std::move(refusal), *connection(),
      wheel->available() ? std::string() : noFakeInputMessage(thisProgramPath()));
  auto list = std::make_unique<KWinWindowList>(bus());
  KWinWindowList& kwin = *list;
  serveReported(loop, std::move(list), std::move(permissions), std::move(wheel),
                [&kwin, script = findWindowListScript()] {
                  return script ? kwin.start(*script, kScriptDeadline) : scriptMissing();
                });
}

}  // namespace orvel::kde
