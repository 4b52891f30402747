// A client connection to a D-Bus message bus, driven by the helper's event loop: the bus socket
// is watched on the loop and sd-bus's own timeouts become loop timers, so no thread and no other
// main loop is involved. Method calls are awaited from coroutine tasks, each with a deadline on
// the loop's clock; signals reach subscribers on a later turn of the loop (never inside sd-bus's
// dispatch, so a handler may call, subscribe or drop its own subscription).
//
// When the bus goes away (the daemon ended, the socket broke) calls still waiting fail, new ones
// fail at once, and the lost-connection callbacks run once. Calls still waiting when the
// connection object itself is destroyed never resume: owners outlive the calls they await.
//
// Loop thread only; not thread-safe. Build a request before the co_await that sends it: GCC 12
// destroys temporaries made inside a co_await expression twice.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <set>
#include <string>

#include "orvel/common/event_loop.h"
#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_message.h"

namespace orvel::dbus {

// Who a method call goes to.
struct DbusTarget {
  std::string destination;  // a bus name: "org.gnome.Mutter.ScreenCast" or ":1.42"
  std::string path;
  std::string interface;
};

// Which signals a subscription receives; an empty field matches every value.
struct DbusSignalMatch {
  std::string sender;
  std::string path;
  std::string interface;
  std::string member;
};

class DbusConnection;

// Receives signals for as long as it lives; destroying it ends the subscription, also from inside
// its own handler.
class DbusSubscription {
 public:
  DbusSubscription() = default;
  ~DbusSubscription();
  DbusSubscription(DbusSubscription&& other) noexcept;
  DbusSubscription& operator=(DbusSubscription&& other) noexcept;
  DbusSubscription(const DbusSubscription&) = delete;
  DbusSubscription& operator=(const DbusSubscription&) = delete;

  struct State;

 private:
  friend class DbusConnection;
  explicit DbusSubscription(std::shared_ptr<State> state) : state_(std::move(state)) {}
  std::shared_ptr<State> state_;
};

class DbusConnection {
 public:
  using SignalHandler = std::function<void(const DbusMessage&)>;

  // The session bus named by DBUS_SESSION_BUS_ADDRESS.
  static Expected<std::unique_ptr<DbusConnection>, Failure> openSession(EventLoop& loop);
  // The bus at a D-Bus address ("unix:path=/run/user/1000/bus").
  static Expected<std::unique_ptr<DbusConnection>, Failure> openAddress(EventLoop& loop,
                                                                        const std::string& address);
  ~DbusConnection();
  DbusConnection(const DbusConnection&) = delete;
  DbusConnection& operator=(const DbusConnection&) = delete;

  // A method call to fill with sd_bus_message_append before call(); empty when `target` is not
  // valid D-Bus names.
  DbusMessage newCall(const DbusTarget& target, const std::string& member);
  // Sends `request` and waits for its reply, at most `deadline` of the loop's clock. An error
  // reply fails with "NAME: message" as the service said it; no reply in time fails with
  // "No reply from DESTINATION.MEMBER within N ms."; a lost bus fails with the bus's reason.
  Task<Expected<DbusMessage, Failure>> call(DbusMessage request, Duration deadline);

  // Delivers matching signals to `handler` from now on. The match is installed on the bus
  // asynchronously: signals sent before the bus confirms it may be missed, so await
  // subscribeConfirmed() where that matters.
  Expected<DbusSubscription, Failure> subscribe(const DbusSignalMatch& match,
                                                SignalHandler handler);
  // As subscribe(), returning once the bus has installed the match.
  Task<Expected<DbusSubscription, Failure>> subscribeConfirmed(DbusSignalMatch match,
                                                               SignalHandler handler,
                                                               Duration deadline);

  // Runs once, on the loop thread, when the bus goes away.
  void onLost(std::function<void()> fn) { lost_.push_back(std::move(fn)); }
  bool lost() const { return lostReported_; }

  // The bus this connection drives, for what the calls above do not cover (exporting objects,
  // emitting signals). Do not process or close it: the connection does.
  sd_bus* raw() const { return bus_; }
  EventLoop& loop() const { return loop_; }

  // Handles what has arrived, sends what is queued and re-arms the loop's watch and timer. Called
  // by the connection itself; exposed for code that queued messages through raw().
  void pump();

  struct PendingCall;

 private:
  friend class DbusSubscription;
  DbusConnection(EventLoop& loop, sd_bus* bus);
  void rearm();
  void connectionLost(const std::string& why);
  void forget(PendingCall* call) { pending_.erase(call); }

  EventLoop& loop_;
  sd_bus* bus_ = nullptr;
  EventLoop::WatchId watch_ = 0;
  short watchedEvents_ = 0;
  EventLoop::TimerId timer_ = 0;
  bool pumping_ = false;
  bool lostReported_ = false;
  std::string lostReason_;
  std::vector<std::function<void()>> lost_;
  std::set<PendingCall*> pending_;
  std::set<std::shared_ptr<DbusSubscription::State>> subscriptions_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// "NAME: message" of an error reply, or nothing when `reply` is not an error.
std::string describeError(const DbusMessage& reply);

}  // namespace orvel::dbus
