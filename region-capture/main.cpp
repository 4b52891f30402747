// region-capture-helper: instant region captures for the host, driven by JSON lines on standard
// input. This build has no desktop backend yet and wires the stand-in ports.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/reply_writer.h"
#include "region_capture_helper.h"
#include "request_reader.h"
#include "unavailable_desktop.h"

int main() {
  using namespace orvel;
  using namespace orvel::region;
  // A host that goes away must not kill the helper in the middle of a reply.
  std::signal(SIGPIPE, SIG_IGN);

  SteadyClock clock;
  EventLoop loop(clock);
  UnavailableDesktop desktop;
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
  RegionCaptureHelper helper(loop, {desktop, desktop, desktop, desktop, desktop}, std::move(io));
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
