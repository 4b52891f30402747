#include "platform/wayland/wayland_event_pump.h"

#include <poll.h>

namespace orvel::wayland {

WaylandEventPump::WaylandEventPump(EventLoop& loop, WaylandConnection& connection)
    : loop_(loop), connection_(connection) {
  watch_ = loop_.watch(wl_display_get_fd(connection_.display()), POLLIN, [this](short revents) {
    if (revents & (POLLERR | POLLNVAL)) return connectionLost();
    pump();
  });
  connection_.flush();
}

WaylandEventPump::~WaylandEventPump() {
  if (watch_) loop_.unwatch(watch_);
}

void WaylandEventPump::pump() {
  if (lostReported_) return;
  if (!connection_.dispatchAvailable()) connectionLost();
}

void WaylandEventPump::connectionLost() {
  if (lostReported_) return;
  lostReported_ = true;
  if (watch_) loop_.unwatch(watch_);
  watch_ = 0;
  // A callback may end the loop's users; run them after this watch callback returns.
  loop_.defer([this] {
    for (auto& fn : lost_)
      fn();
  });
}

}  // namespace orvel::wayland
