// region-capture-helper: instant region captures for the host, driven by JSON lines on standard
// input, on the desktop that the backend table opens. Without a usable desktop it keeps its
// protocol, says why on standard error and answers every "prepare" with the permission reply.
#include <csignal>

#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/program_info.h"
#include "platform/backends/desktop_factory.h"
#include "region_helper_process.h"

namespace {

constexpr const char* kUsage =
    "usage: region-capture-helper [--help | --version]\n"
    "\n"
    "Instant region captures for the host application, on the desktop named by $ORVEL_BACKEND,\n"
    "$WAYLAND_DISPLAY (wlroots compositors) or $DISPLAY.\n"
    "Reads one JSON request per line on standard input (prepare, capture with a PNG path,\n"
    "cancel, quit) and writes one JSON reply line per capture on standard output.\n"
    "ORVEL_CAPTURE_TRACE=1 writes timing lines to standard error. The end of input ends it.\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace orvel;
  if (const auto status = answerInfoOption(argc, argv, {"region-capture-helper", kUsage})) {
    return *status;
  }
  // A host that goes away must not kill the helper in the middle of a reply.
  std::signal(SIGPIPE, SIG_IGN);
  SteadyClock clock;
  EventLoop loop(clock);
  const auto opened = platform::openRegionDesktop(loop, platform::processBackendEnvironment());
  platform::logOpening("region-capture-helper", opened,
                       "no usable desktop; every capture is refused");
  region::runRegionCaptureHelper(loop, *opened.desktop);
}
