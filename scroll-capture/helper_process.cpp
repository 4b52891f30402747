#include "helper_process.h"

#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <thread>

#include "orvel/common/line_reader.h"
#include "orvel/common/reply_writer.h"
#include "scroll_capture_helper.h"

namespace orvel::scroll {

void runScrollCaptureHelper(EventLoop& loop, ScrollPorts ports) {
  // A vanished host shows as a failed write, not as a fatal signal.
  std::signal(SIGPIPE, SIG_IGN);
  enlargePipeBuffer(STDOUT_FILENO);
  ReplyWriter out(STDOUT_FILENO);
  ScrollCaptureHelper helper(
      loop, ports, out, {static_cast<std::int32_t>(getpid()), static_cast<std::int32_t>(getppid())},
      [](int status) { std::_Exit(status); });
  std::thread reader([&helper] {
    LineReader lines(STDIN_FILENO);
    for (;;) {
      auto line = lines.next();
      helper.receive(line);
      if (line.kind == LineReader::Kind::End) return;
    }
  });
  reader.detach();
  loop.run();
  std::_Exit(0);
}

void runScrollCaptureHelper(EventLoop& loop, platform::ScrollDesktop& d) {
  ShapeContentBounds content(d.windowShapes(), d.windowServer(), loop.clock());
  runScrollCaptureHelper(
      loop, {d.screens(), d.permissions(), d.keys(), d.windowServer(), d.workspace(), content,
             d.capture(), d.overlay(), d.scrollEvents()});
}

}  // namespace orvel::scroll
