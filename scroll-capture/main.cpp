// scroll-capture-helper: one scrolling capture for the host, driven by JSON lines on standard
// input, on the X11 desktop named by $DISPLAY.
#include "helper_process.h"
#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/program_info.h"
#include "platform/x11/x11_desktop.h"

namespace {

constexpr const char* kUsage =
    "usage: scroll-capture-helper [--help | --version]\n"
    "\n"
    "One scrolling capture for the host application, on the desktop named by $DISPLAY.\n"
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
  x11::X11Desktop desktop(loop);
  scroll::ShapeContentBounds content(desktop.windowShapes(), desktop.windowServer(), clock);
  scroll::runScrollCaptureHelper(
      loop,
      {desktop.screens(), desktop.permissions(), desktop.keys(), desktop.windowServer(),
       desktop.workspace(), content, desktop.capture(), desktop.overlay(), desktop.scrollEvents()});
}
