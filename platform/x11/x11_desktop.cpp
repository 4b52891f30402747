#include "platform/x11/x11_desktop.h"

#include <poll.h>
#include <xcb/randr.h>

#include "platform/x11/window_list_cache.h"
#include "platform/x11/x11_event_pump.h"
#include "platform/x11/x11_key_state.h"
#include "platform/x11/x11_overlay.h"
#include "platform/x11/x11_screen_capture.h"
#include "platform/x11/x11_screens.h"
#include "platform/x11/x11_scroll_events.h"
#include "platform/x11/x11_window_server.h"
#include "platform/x11/x11_window_shapes.h"
#include "platform/x11/x11_workspace.h"

namespace orvel::x11 {

X11Desktop::X11Desktop(EventLoop& loop, const char* display)
    : loop_(loop), connection_(X11Connection::open(display)), permissions_(connection_.get()) {
  if (!connection_) return;
  pump_ = std::make_unique<X11EventPump>(loop, *connection_);
  auto screens = std::make_unique<X11Screens>(*connection_);
  X11Screens& s = *screens;
  invalidateOnMonitorChanges(*pump_, *connection_, s);
  keys_ = std::make_unique<X11KeyState>(*connection_);
  windowList_ = WindowListCache::open(display);
  if (windowList_) {
    windowListWatch_ = loop.watch(windowList_->fd(), POLLIN, [this](short) {
      windowList_->drainEvents();
      // A hung-up socket stays readable for ever: watching it further would spin the loop.
      if (!windowList_->ok()) {
        loop_.unwatch(windowListWatch_);
        windowListWatch_ = 0;
      }
    });
  }
  windowServer_ = std::make_unique<X11WindowServer>(*connection_, s, windowList_.get());
  windowShapes_ = std::make_unique<X11WindowShapes>(*connection_, s);
  workspace_ = std::make_unique<X11Workspace>(*connection_);
  capture_ = std::make_unique<X11ScreenCapture>(display, windowList_.get());
  auto overlay = std::make_unique<X11Overlay>(loop, *connection_, s, *pump_);
  x11Overlay_ = overlay.get();
  overlay_ = std::move(overlay);
  scrollEvents_ = std::make_unique<X11ScrollEvents>(*connection_, s);
  screens_ = std::move(screens);
  connection_->flush();
}

void X11Desktop::onDisplayLost(Listener listener) {
  pump_->onConnectionLost(std::move(listener));
}

std::uint64_t X11Desktop::roundTrips() const {
  if (!connection_) return 0;
  return connection_->roundTrips() + (windowList_ ? windowList_->roundTrips() : 0);
}

X11Desktop::~X11Desktop() {
  // The overlay and the pump refer to the connection: they go first.
  overlay_.reset();
  scrollEvents_.reset();
  pump_.reset();
  windowServer_.reset();
  capture_.reset();
  if (windowListWatch_) loop_.unwatch(windowListWatch_);
}

}  // namespace orvel::x11
