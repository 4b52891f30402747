// scroll-capture-helper: one scrolling capture for the host, driven by JSON lines on standard
// input. The desktop is chosen once here: $ORVEL_BACKEND ("wayland" or "x11") when set; else the
// sway compositor named by $WAYLAND_DISPLAY and $SWAYSOCK when it offers the wlroots protocols;
// else the X11 display named by $DISPLAY. Without a usable desktop it keeps its protocol, says why
// on standard error and fails every command with its message.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>

#include "content_bounds.h"
#include "helper_process.h"
#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/program_info.h"
#include "platform/backend_choice.h"
#include "platform/unreachable_desktop.h"
#if ORVEL_SCROLL_X11
#include "platform/x11/x11_desktop.h"
#endif
#if ORVEL_SCROLL_WAYLAND
#include "platform/wayland/wayland_scroll_desktop.h"
#endif

namespace {

constexpr const char* kUsage =
    "usage: scroll-capture-helper [--help | --version]\n"
    "\n"
    "One scrolling capture for the host application, on the desktop named by $ORVEL_BACKEND,\n"
    "$WAYLAND_DISPLAY (sway) or $DISPLAY.\n"
    "Reads one JSON command per line on standard input (select, region, capture, scroll,\n"
    "fallback, activate, close) and writes one JSON reply line per command on standard output;\n"
    "a capture's reply line is followed by the frame's pixels. The end of input ends it.\n";

void logLine(const std::string& text) {
  std::fprintf(stderr, "scroll-capture-helper: %s\n", text.c_str());
}

// Every port of a desktop, and the window shapes the content bounds read.
struct Desktop {
  orvel::platform::Screens& screens;
  orvel::platform::Permissions& permissions;
  orvel::platform::KeyState& keys;
  orvel::platform::WindowServer& windowServer;
  orvel::platform::Workspace& workspace;
  orvel::platform::WindowShapes& shapes;
  orvel::platform::ScreenCapture& capture;
  orvel::platform::Overlay& overlay;
  orvel::platform::ScrollEvents& scrollEvents;
};

// Nothing can be captured or posted; Linux asks no consent for reading other windows.
class NoPermissions final : public orvel::platform::Permissions {
 public:
  bool screenCaptureAllowed() override { return false; }
  bool postEventAllowed() override { return false; }
  bool accessibilityTrusted() override { return true; }
};

template <class D>
Desktop portsOf(D& d) {
  return {d.screens(),      d.permissions(), d.keys(),    d.windowServer(), d.workspace(),
          d.windowShapes(), d.capture(),     d.overlay(), d.scrollEvents()};
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvel;
  if (const auto status = answerInfoOption(argc, argv, {"scroll-capture-helper", kUsage})) {
    return *status;
  }
  SteadyClock clock;
  EventLoop loop(clock);
  std::optional<Desktop> chosen;
  const platform::BackendChoice backends =
      platform::chooseBackends(std::getenv("ORVEL_BACKEND"), std::getenv("WAYLAND_DISPLAY"));
  if (!backends.warning.empty()) logLine(backends.warning);
#if ORVEL_SCROLL_WAYLAND
  std::unique_ptr<wayland::WaylandScrollDesktop> compositor;
  if (backends.tryWayland) {
    compositor = std::make_unique<wayland::WaylandScrollDesktop>(loop);
    if (compositor->usable()) {
      chosen.emplace(portsOf(*compositor));
    } else {
      logLine("Wayland: " + compositor->whyNot());
      compositor.reset();
    }
  }
#endif
#if ORVEL_SCROLL_X11
  std::unique_ptr<x11::X11Desktop> display;
  if (!chosen && backends.tryX11) {
    display = std::make_unique<x11::X11Desktop>(loop);
    // Without a display it answers as a desktop that cannot be reached.
    if (!display->connected()) logLine("X11: no display answers at DISPLAY");
    chosen.emplace(portsOf(*display));
  }
#endif
  using namespace platform::unreachable;
  NoScreens noScreens;
  NoPermissions noPermissions;
  NoKeys noKeys;
  NoWindows noWindows(0, 0);
  NoWorkspace noWorkspace;
  NoShapes noShapes;
  NoCapture noCapture("No desktop is reachable.");
  NoOverlay noOverlay;
  NoScrollEvents noScrollEvents;
  if (!chosen) logLine("no usable desktop; every command fails");
  const Desktop d =
      chosen.value_or(Desktop{noScreens, noPermissions, noKeys, noWindows, noWorkspace, noShapes,
                              noCapture, noOverlay, noScrollEvents});
  scroll::ShapeContentBounds content(d.shapes, d.windowServer, clock);
  scroll::runScrollCaptureHelper(
      loop, {d.screens, d.permissions, d.keys, d.windowServer, d.workspace, content, d.capture,
             d.overlay, d.scrollEvents});
}
