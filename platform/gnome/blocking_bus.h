// A session-bus connection on an event loop of this object's own, for ports whose calls must
// return their answer before they return (ScreenCapture from worker threads, ScrollEvents on the
// helper's loop thread): each call runs the private loop until its task ends. Everything else
// started on that loop (PipeWire streams, signal subscriptions) moves only while a call runs.
// One thread at a time; the owner serialises the calls.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"

namespace orvel::gnome {

class BlockingBus {
 public:
  // The session bus from $DBUS_SESSION_BUS_ADDRESS; see usable().
  BlockingBus();
  ~BlockingBus();
  BlockingBus(const BlockingBus&) = delete;
  BlockingBus& operator=(const BlockingBus&) = delete;

  // Nothing when the bus answered; otherwise why not.
  std::optional<std::string> whyNot() const {
    if (bus_) return std::nullopt;
    return "no session bus (" + failure_ + ")";
  }
  // Valid only when whyNot() is empty.
  dbus::DbusConnection& bus() { return *bus_; }
  EventLoop& loop() { return loop_; }

  // Runs the private loop until `task` ends and returns its result.
  template <class T>
  T run(Task<T> task) {
    std::optional<T> result;
    spawn(loop_, [&]() -> Task<> { result.emplace(co_await std::move(task)); });
    loop_.runUntil([&] { return result.has_value(); });
    return std::move(*result);
  }
  // Nothing when the service `name` answers for its Version property at the object its name
  // spells ("org.gnome.Mutter.ScreenCast" at /org/gnome/Mutter/ScreenCast) within `deadline`;
  // else the bus's or the service's failure.
  std::optional<std::string> whyServiceSilent(const std::string& name, Duration deadline);
  // Runs the private loop for `span`: what has arrived is handled, and waits end on time.
  void runFor(Duration span);

 private:
  SteadyClock clock_;
  EventLoop loop_{clock_};
  std::unique_ptr<dbus::DbusConnection> bus_;
  std::string failure_;
};

}  // namespace orvel::gnome
