// Handles the events of the main Wayland connection on the event loop's thread: the connection's
// socket is watched on the loop, and requests are flushed after each batch of events. When the
// compositor goes away the socket leaves the loop (nothing polls a dead socket) and the
// lost-connection callbacks run once. Loop thread only.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "orvel/common/event_loop.h"
#include "platform/wayland/wayland_connection.h"

namespace orvel::wayland {

class WaylandEventPump {
 public:
  WaylandEventPump(EventLoop& loop, WaylandConnection& connection);
  ~WaylandEventPump();
  WaylandEventPump(const WaylandEventPump&) = delete;
  WaylandEventPump& operator=(const WaylandEventPump&) = delete;

  void onConnectionLost(std::function<void()> fn) { lost_.push_back(std::move(fn)); }
  bool lost() const { return lostReported_; }
  // Handles what has arrived and sends what is queued; reports a lost connection.
  void pump();

 private:
  void connectionLost();

  EventLoop& loop_;
  WaylandConnection& connection_;
  EventLoop::WatchId watch_ = 0;
  bool lostReported_ = false;
  std::vector<std::function<void()>> lost_;
};

}  // namespace orvel::wayland
