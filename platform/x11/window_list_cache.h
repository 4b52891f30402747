// The window list kept between reads, on an X connection of its own, and read again only after the
// desktop reported a change to it.
//
// Every read costs one round trip: the server answers it only after every event it generated
// before, so a read sees each change made before it, as a fresh list would. Events that change the
// list: windows created, destroyed, mapped, unmapped, reparented, moved, resized or restacked
// (among the root's children, their children, and the managed clients), the manager's stacking list
// and check window, and the window properties the list reports. Other property changes (user times,
// icons) keep the list. A client nested deeper than one window inside its frame, whose inner parent
// moves without the frame changing, is the one change not reported; window managers move the frame.
//
// Any thread: reads and event handling are serialised on the cache's lock. The owner of an event
// loop calls drainEvents() when fd() is readable, so the events of an idle helper do not pile up.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/x11/window_list.h"
#include "platform/x11/x11_connection.h"

namespace orvel::x11 {

// Whether `event`, received on a connection that selected what readWindowList(.., kYes) selects
// and the root's substructure and properties, can change the window list.
bool changesWindowList(const xcb_generic_event_t& event, const Atoms& atoms);

class WindowListCache {
 public:
  // Connects to `display` (null: $DISPLAY). Null when no server answers.
  static std::unique_ptr<WindowListCache> open(const char* display);

  // The list, front-most first; nothing once the connection broke.
  std::optional<std::vector<WindowRecord>> read();
  // Handles the events that have arrived, without blocking.
  void drainEvents();
  int fd() const { return connection_->fd(); }
  // False once the server has gone away: fd() then only reports the hang-up.
  bool ok() const { return connection_->ok(); }

  // Reads of the whole list so far, and round trips on the cache's connection: for tests and
  // benchmarks.
  std::uint64_t fullReads();
  std::uint64_t roundTrips() const { return connection_->roundTrips(); }

 private:
  explicit WindowListCache(std::unique_ptr<X11Connection> connection);
  void drainLocked();

  std::mutex mutex_;
  std::unique_ptr<X11Connection> connection_;
  std::vector<WindowRecord> records_;
  bool stale_ = true;
  std::uint64_t fullReads_ = 0;
};

// The list from `cache` when there is one and its connection holds, else read on `connection`.
std::vector<WindowRecord> readWindowList(WindowListCache* cache, X11Connection& connection);

}  // namespace orvel::x11
