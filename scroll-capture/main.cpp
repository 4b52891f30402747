// scroll-capture-helper: one scrolling capture for the host, driven by JSON lines on standard
// input, on the desktop that the backend table opens. Without a usable desktop it keeps its
// protocol, says why on standard error and fails every command with its message.
#include "helper_process.h"
#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/program_info.h"
#include "platform/backends/desktop_factory.h"

namespace {

constexpr const char* kUsage =
    "usage: scroll-capture-helper [--help | --version]\n"
    "\n"
    "One scrolling capture for the host application, on the desktop named by $ORVEL_BACKEND,\n"
    "$WAYLAND_DISPLAY (sway) or $DISPLAY.\n"
    "Reads one JSON command per line on standard input (select, region, capture, scroll,\n"
    "fallback, activate, close) and writes one JSON reply line per command on standard output;\n"
    "a capture's reply line is followed by the frame's pixels. The end of input ends it.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace orvel;
  if (const auto status = answerInfoOption(argc, argv, {"scroll-capture-helper", kUsage})) {
    return *status;
  }
  SteadyClock clock;
  EventLoop loop(clock);
  const auto opened = platform::openScrollDesktop(loop, platform::processBackendEnvironment());
  platform::logOpening("scroll-capture-helper", opened, "no usable desktop; every command fails");
  scroll::runScrollCaptureHelper(loop, *opened.desktop);
}
