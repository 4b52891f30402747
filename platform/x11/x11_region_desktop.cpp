#include "platform/x11/x11_region_desktop.h"

#include <xcb/randr.h>

namespace orvel::x11 {

X11RegionDesktop::X11RegionDesktop(EventLoop& loop, const char* display)
    : connection_(X11Connection::open(display)), permissions_(connection_.get()) {
  if (!connection_) return;
  pump_ = std::make_unique<X11EventPump>(loop, *connection_);
  screens_ = std::make_unique<X11Screens>(*connection_);
  X11Screens& s = *screens_;
  invalidateOnMonitorChanges(*pump_, *connection_, s);
  freshScreens_ = std::make_unique<X11FreshScreens>(s);
  capture_ = std::make_unique<X11ScreenCapture>(display);
  overlay_ = std::make_unique<X11FrozenOverlay>(loop, *connection_, s, *pump_);
  shield_ = std::make_unique<X11InputShield>(display);
  registration_ = std::make_unique<X11RegistrationWindow>(*connection_);
}

X11RegionDesktop::~X11RegionDesktop() {
  // The shield's thread goes first; the overlay and the pump refer to the main connection.
  shield_.reset();
  overlay_.reset();
  registration_.reset();
  pump_.reset();
}

}  // namespace orvel::x11
