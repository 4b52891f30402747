// scroll-capture-helper: one scrolling capture for the host, driven by JSON lines on standard
// input, on the X11 desktop named by $DISPLAY.
#include "helper_process.h"
#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "platform/x11/x11_desktop.h"

int main() {
  using namespace orvel;
  SteadyClock clock;
  EventLoop loop(clock);
  x11::X11Desktop desktop(loop);
  scroll::ShapeContentBounds content(desktop.windowShapes(), desktop.windowServer(), clock);
  scroll::runScrollCaptureHelper(
      loop,
      {desktop.screens(), desktop.permissions(), desktop.keys(), desktop.windowServer(),
       desktop.workspace(), content, desktop.capture(), desktop.overlay(), desktop.scrollEvents()});
}
