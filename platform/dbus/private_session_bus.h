// A session bus connection on an event loop of its own, for ports whose calls come from
// background threads and block until answered. The owner serialises its calls (one at a time,
// under its own lock); each call runs the private loop on the calling thread until its task ends.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"

namespace orvel::dbus {

class PrivateSessionBus {
 public:
  // Opens the session bus named by DBUS_SESSION_BUS_ADDRESS; see bus() and failure().
  PrivateSessionBus();

  // The connection; null when it could not be opened, or after close().
  DbusConnection* bus() const { return bus_.get(); }
  // Why the bus could not be opened; empty when it was.
  const std::string& failure() const { return failure_; }
  EventLoop& loop() { return loop_; }

  // Runs the private loop until `task` ends; its result.
  template <class T>
  T run(Task<T> task) {
    std::optional<T> result;
    spawn(loop_, [&]() -> Task<> { result.emplace(co_await std::move(task)); });
    loop_.runUntil([&] { return result.has_value(); });
    return std::move(*result);
  }

  // Drops the connection before what its calls refer to goes away.
  void close() { bus_.reset(); }

 private:
  SteadyClock clock_;
  EventLoop loop_{clock_};
  std::unique_ptr<DbusConnection> bus_;
  std::string failure_;
};

}  // namespace orvel::dbus
