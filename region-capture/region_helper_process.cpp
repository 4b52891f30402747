#include "region_helper_process.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "orvel/common/reply_writer.h"
#include "region_capture_helper.h"
#include "request_reader.h"

namespace orvel::region {

void runRegionCaptureHelper(EventLoop& loop, platform::RegionDesktop& desktop) {
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
  const RegionPorts ports{desktop.screens(), desktop.permissions(), desktop.capture(),
                          desktop.overlay(), desktop.shield()};
  RegionCaptureHelper helper(loop, ports, std::move(io));
  helper.follow(desktop);
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

}  // namespace orvel::region
