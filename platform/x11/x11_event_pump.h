// Delivers the events of the main X connection on the event loop's thread: the connection's socket
// is watched on the loop, and XCB's queue is drained on the next turn after every wait for a reply
// and every flush (either can pull events off the socket, where poll() no longer sees them; the
// connection calls back for each, see X11Connection).
// Errors of unchecked requests arrive here as events too, and are dropped: no X error ends the
// helper. Loop thread only.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "orvel/common/event_loop.h"
#include "platform/x11/x11_connection.h"

namespace orvel::x11 {

class X11EventPump {
 public:
  using Handler = std::function<void(const xcb_generic_event_t&)>;

  X11EventPump(EventLoop& loop, X11Connection& connection);
  ~X11EventPump();
  X11EventPump(const X11EventPump&) = delete;
  X11EventPump& operator=(const X11EventPump&) = delete;

  // Events that concern `window` (input, exposure, structure) go to `handler`.
  void setWindowHandler(xcb_window_t window, Handler handler);
  void removeWindowHandler(xcb_window_t window);
  // Every event that no window handler took.
  void addListener(Handler handler);
  // Called once when the connection breaks.
  void onConnectionLost(std::function<void()> fn) { lost_.push_back(std::move(fn)); }

  // Handles every event that has arrived; reads the socket without blocking.
  void drain();
  std::uint64_t errorsDropped() const { return errors_; }

 private:
  void scheduleDrain();
  void connectionLost();

  EventLoop& loop_;
  X11Connection& connection_;
  EventLoop::WatchId watch_ = 0;
  bool drainScheduled_ = false;
  bool lostReported_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  std::map<xcb_window_t, Handler> windows_;
  std::vector<Handler> listeners_;
  std::vector<std::function<void()>> lost_;
  std::uint64_t errors_ = 0;
};

// The window an event is about, or 0.
xcb_window_t eventWindow(const xcb_generic_event_t& event);

}  // namespace orvel::x11
