#include "platform/x11/x11_event_pump.h"

#include <poll.h>

#include <cstdlib>

#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

xcb_window_t eventWindow(const xcb_generic_event_t& e) {
  switch (e.response_type & 0x7f) {
    case XCB_KEY_PRESS:
    case XCB_KEY_RELEASE:
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE:
    case XCB_MOTION_NOTIFY:
      return reinterpret_cast<const xcb_button_press_event_t&>(e).event;
    case XCB_ENTER_NOTIFY:
    case XCB_LEAVE_NOTIFY:
      return reinterpret_cast<const xcb_enter_notify_event_t&>(e).event;
    case XCB_EXPOSE:
      return reinterpret_cast<const xcb_expose_event_t&>(e).window;
    case XCB_MAP_NOTIFY:
      return reinterpret_cast<const xcb_map_notify_event_t&>(e).window;
    case XCB_UNMAP_NOTIFY:
      return reinterpret_cast<const xcb_unmap_notify_event_t&>(e).window;
    case XCB_CONFIGURE_NOTIFY:
      return reinterpret_cast<const xcb_configure_notify_event_t&>(e).window;
    case XCB_DESTROY_NOTIFY:
      return reinterpret_cast<const xcb_destroy_notify_event_t&>(e).window;
    default:
      return 0;
  }
}

X11EventPump::X11EventPump(EventLoop& loop, X11Connection& connection)
    : loop_(loop), connection_(connection) {
  watch_ = loop_.watch(connection_.fd(), POLLIN, [this](short) { drain(); });
  connection_.setQueuedEventsHook([this] { scheduleDrain(); });
}

X11EventPump::~X11EventPump() {
  *alive_ = false;
  connection_.setQueuedEventsHook({});
  if (watch_) loop_.unwatch(watch_);
}

void X11EventPump::setWindowHandler(xcb_window_t window, Handler handler) {
  windows_[window] = std::move(handler);
}

void X11EventPump::removeWindowHandler(xcb_window_t window) {
  windows_.erase(window);
}

void X11EventPump::addListener(Handler handler) {
  listeners_.push_back(std::move(handler));
}

void X11EventPump::scheduleDrain() {
  if (drainScheduled_) return;
  drainScheduled_ = true;
  loop_.defer([this, alive = alive_] {
    if (!*alive) return;
    drainScheduled_ = false;
    drain();
  });
}

void X11EventPump::drain() {
  while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_.get())) {
    XcbPtr<xcb_generic_event_t> event(raw);
    if (event->response_type == 0) {
      ++errors_;
      continue;
    }
    const xcb_window_t window = eventWindow(*event);
    if (auto it = windows_.find(window); window != 0 && it != windows_.end()) {
      // A copy: the handler may remove itself (a panel that closes on this very event).
      Handler handler = it->second;
      handler(*event);
      continue;
    }
    for (std::size_t i = 0; i < listeners_.size(); ++i)
      listeners_[i](*event);
  }
  if (!connection_.ok()) connectionLost();
}

void X11EventPump::connectionLost() {
  if (lostReported_) return;
  lostReported_ = true;
  if (watch_) loop_.unwatch(watch_);
  watch_ = 0;
  auto callbacks = lost_;
  for (auto& fn : callbacks)
    fn();
}

}  // namespace orvel::x11
