// region-capture-helper: instant region captures for the host, driven by JSON lines on standard
// input, on the X11 desktop named by $DISPLAY. Without a reachable display (or in a build without
// the X11 backend) it keeps its protocol and answers every "prepare" with the permission reply.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "helper_error.h"
#include "messages.h"
#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/program_info.h"
#include "orvel/common/reply_writer.h"
#include "region_capture_helper.h"
#include "request_reader.h"
#include "unavailable_desktop.h"
#if ORVEL_REGION_X11
#include "platform/x11/x11_region_desktop.h"
#endif

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
#if ORVEL_REGION_X11
  x11::X11RegionDesktop desktop(loop);
  const RegionPorts ports =
      desktop.connected()
          ? RegionPorts{desktop.screens(), desktop.permissions(), desktop.capture(),
                        desktop.overlay(), desktop.shield()}
          : RegionPorts{unavailable, unavailable, unavailable, unavailable, unavailable};
#else
  const RegionPorts ports{unavailable, unavailable, unavailable, unavailable, unavailable};
#endif
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
#if ORVEL_REGION_X11
  if (desktop.connected()) {
    // Another client kept the pointer or keyboard: the capture that asked for the shield ends
    // with a message instead of waiting for input that would never come.
    desktop.shield().onGrabFailed([&helper, &loop] {
      const auto shield = helper.shield().current();
      if (!shield) return;
      loop.post([&helper, wanted = *shield] {
        const auto& session = helper.active();
        if (session && session->shield == wanted) {
          auto keep = session;
          keep->fail(failure(kInputUnavailable));
        }
      });
    });
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
