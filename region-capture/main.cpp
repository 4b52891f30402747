// region-capture-helper: instant region captures for the host, driven by JSON lines on standard
// input. The desktop is chosen once here: $ORVEL_BACKEND ("wayland" or "x11") when set; else the
// Wayland compositor named by $WAYLAND_DISPLAY when it offers the wlroots protocols; else the X11
// display named by $DISPLAY. Without a usable desktop it keeps its protocol, says why on standard
// error and answers every "prepare" with the permission reply.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "helper_error.h"
#include "messages.h"
#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/program_info.h"
#include "orvel/common/reply_writer.h"
#include "platform/backend_choice.h"
#include "region_capture_helper.h"
#include "request_reader.h"
#include "unavailable_desktop.h"
#if ORVEL_REGION_X11
#include "platform/x11/x11_region_desktop.h"
#endif
#if ORVEL_REGION_WAYLAND
#include "platform/wayland/wayland_region_desktop.h"
#endif

namespace {

void logLine(const std::string& text) {
  std::fprintf(stderr, "region-capture-helper: %s\n", text.c_str());
}

}  // namespace

namespace {

constexpr const char* kUsage =
    "usage: region-capture-helper [--help | --version]\n"
    "\n"
    "Instant region captures for the host application, on the desktop named by $DISPLAY.\n"
    "Reads one JSON request per line on standard input (prepare, capture with a PNG path,\n"
    "cancel, quit) and writes one JSON reply line per capture on standard output.\n"
    "ORVEL_CAPTURE_TRACE=1 writes timing lines to standard error. The end of input ends it.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace orvel;
  if (const auto status = answerInfoOption(argc, argv, {"region-capture-helper", kUsage})) {
    return *status;
  }
  using namespace orvel::region;
  // A host that goes away must not kill the helper in the middle of a reply.
  std::signal(SIGPIPE, SIG_IGN);

  SteadyClock clock;
  EventLoop loop(clock);
  UnavailableDesktop unavailable;
  std::optional<RegionPorts> chosen;
  const platform::BackendChoice backends =
      platform::chooseBackends(std::getenv("ORVEL_BACKEND"), std::getenv("WAYLAND_DISPLAY"));
  if (!backends.warning.empty()) logLine(backends.warning);
#if ORVEL_REGION_WAYLAND
  std::unique_ptr<wayland::WaylandRegionDesktop> compositor;
  if (backends.tryWayland) {
    compositor = std::make_unique<wayland::WaylandRegionDesktop>(loop);
    if (compositor->usable()) {
      chosen.emplace(RegionPorts{compositor->screens(), compositor->permissions(),
                                 compositor->capture(), compositor->overlay(),
                                 compositor->shield()});
    } else {
      logLine("Wayland: " + compositor->whyNot());
      compositor.reset();
    }
  }
#endif
#if ORVEL_REGION_X11
  std::unique_ptr<x11::X11RegionDesktop> desktop;
  if (!chosen && backends.tryX11) {
    desktop = std::make_unique<x11::X11RegionDesktop>(loop);
    if (desktop->connected()) {
      chosen.emplace(RegionPorts{desktop->screens(), desktop->permissions(), desktop->capture(),
                                 desktop->overlay(), desktop->shield()});
    } else {
      logLine("X11: no display answers at DISPLAY");
      desktop.reset();
    }
  }
#endif
  if (!chosen) logLine("no usable desktop; every capture is refused");
  const RegionPorts ports =
      chosen.value_or(RegionPorts{unavailable, unavailable, unavailable, unavailable, unavailable});
  ReplyWriter out(STDOUT_FILENO);
  HelperIo io{
      [&out](std::string_view line) { out.write(line); },
      [](std::string_view line) { std::fwrite(line.data(), 1, line.size(), stderr); },
      [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (!value) return std::nullopt;
        return std::string(value);
      },
      {static_cast<std::int32_t>(::getpid()),
       [] { return static_cast<std::int32_t>(::getppid()); }},
  };
  RegionCaptureHelper helper(loop, ports, std::move(io));
#if ORVEL_REGION_WAYLAND
  if (compositor) {
    // A compositor that went away sends no more input: the capture waiting for it ends now.
    compositor->onCompositorLost([&helper] {
      if (auto session = helper.active()) session->cancel();
    });
    // Another client's layer surface kept the keyboard from the overlay.
    compositor->shield().onGrabFailed([&helper] { helper.inputHeldElsewhere(); });
  }
#endif
#if ORVEL_REGION_X11
  if (desktop) {
    // Another client kept the pointer or keyboard: the capture that asked for the shield ends
    // with a message instead of waiting for input that would never come.
    desktop->shield().onGrabFailed([&helper] { helper.inputHeldElsewhere(); });
  }
#endif
  helper.start();
  RequestReader reader(
      loop, STDIN_FILENO, [&helper](std::string line) { helper.receiveLine(line); },
      [&helper] { helper.endOfInput(); });
  reader.start();
  loop.run();
  // The reader may still wait for input: end without unwinding.
  std::fflush(stderr);
  std::_Exit(helper.exitStatus().value_or(0));
}
