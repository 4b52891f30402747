#include "platform/dbus/dbus_connection.h"

#include <poll.h>
#include <time.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace orvel::dbus {

namespace {

// Messages handled in one turn before the loop gets its turn back: a bus that floods us cannot
// starve the helper's other work.
constexpr int kMessagesPerTurn = 64;

std::string errnoText(int negativeErrno) {
  return std::strerror(-negativeErrno);
}

std::uint64_t monotonicMicros() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::uint64_t>(ts.tv_sec) * 1000000u +
         static_cast<std::uint64_t>(ts.tv_nsec) / 1000u;
}

}  // namespace

std::string describeError(const DbusMessage& reply) {
  if (!reply || !sd_bus_message_is_method_error(reply.get(), nullptr)) return {};
  const sd_bus_error* e = sd_bus_message_get_error(reply.get());
  std::string text = e && e->name ? e->name : "org.freedesktop.DBus.Error.Failed";
  if (e && e->message && *e->message) text += std::string(": ") + e->message;
  return text;
}

// One method call awaiting its reply; lives in the frame of the call() coroutine.
struct DbusConnection::PendingCall {
  DbusConnection* connection;
  EventLoop& loop;
  sd_bus_slot* slot = nullptr;
  EventLoop::TimerId timer = 0;
  std::optional<Expected<DbusMessage, Failure>> result;
  std::coroutine_handle<> waiter;
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);

  PendingCall(DbusConnection* c, EventLoop& l) : connection(c), loop(l) {}
  ~PendingCall() {
    *alive = false;
    if (connection) connection->forget(this);
    detach();
  }
  PendingCall(const PendingCall&) = delete;
  PendingCall& operator=(const PendingCall&) = delete;

  // Drops the reply slot and the deadline; the connection no longer knows this call.
  void detach() {
    if (timer) loop.cancelTimer(timer);
    timer = 0;
    slot = sd_bus_slot_unref(slot);
    connection = nullptr;
  }

  void finish(Expected<DbusMessage, Failure> value) {
    if (result) return;
    result.emplace(std::move(value));
    if (timer) loop.cancelTimer(timer);
    timer = 0;
    if (!waiter) return;
    // Resumed on a later turn: never inside sd-bus's dispatch, which the caller may re-enter.
    loop.defer([this, token = alive] {
      if (*token) waiter.resume();
    });
  }

  static int onReply(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* call = static_cast<PendingCall*>(userdata);
    DbusMessage reply = DbusMessage::share(m);
    if (sd_bus_message_is_method_error(m, nullptr)) {
      call->finish(failed(describeError(reply)));
    } else {
      call->finish(std::move(reply));
    }
    return 0;
  }

  bool await_ready() const noexcept { return result.has_value(); }
  void await_suspend(std::coroutine_handle<> h) noexcept { waiter = h; }
  void await_resume() const noexcept {}
};

struct DbusSubscription::State : std::enable_shared_from_this<DbusSubscription::State> {
  DbusConnection* connection = nullptr;
  sd_bus_slot* slot = nullptr;
  DbusConnection::SignalHandler handler;

  static int onSignal(sd_bus_message* m, void* userdata, sd_bus_error*) {
    auto* state = static_cast<State*>(userdata);
    auto message = std::make_shared<DbusMessage>(DbusMessage::share(m));
    state->connection->loop().defer([weak = state->weak_from_this(), message] {
      auto self = weak.lock();
      if (!self || !self->handler) return;
      // A copy: the handler may end its own subscription.
      auto handler = self->handler;
      handler(*message);
    });
    return 0;
  }

  void detach() {
    slot = sd_bus_slot_unref(slot);
    connection = nullptr;
  }
};

DbusSubscription::~DbusSubscription() {
  if (!state_) return;
  state_->handler = nullptr;
  if (state_->connection) state_->connection->subscriptions_.erase(state_);
  state_->detach();
}

DbusSubscription::DbusSubscription(DbusSubscription&& other) noexcept
    : state_(std::move(other.state_)) {}

DbusSubscription& DbusSubscription::operator=(DbusSubscription&& other) noexcept {
  if (this != &other) {
    DbusSubscription old(std::move(*this));
    state_ = std::move(other.state_);
  }
  return *this;
}

Expected<std::unique_ptr<DbusConnection>, Failure> DbusConnection::openSession(EventLoop& loop) {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (!address || !*address) {
    return failed("No session bus: DBUS_SESSION_BUS_ADDRESS is not set.");
  }
  return openAddress(loop, address);
}

Expected<std::unique_ptr<DbusConnection>, Failure> DbusConnection::openAddress(
    EventLoop& loop, const std::string& address) {
  sd_bus* bus = nullptr;
  int r = sd_bus_new(&bus);
  if (r < 0) return failed("Cannot create a D-Bus connection: " + errnoText(r) + ".");
  if ((r = sd_bus_set_address(bus, address.c_str())) >= 0 &&
      (r = sd_bus_set_bus_client(bus, 1)) >= 0) {
    r = sd_bus_start(bus);
  }
  if (r < 0) {
    sd_bus_close_unref(bus);
    return failed("Cannot connect to the message bus at " + address + ": " + errnoText(r) + ".");
  }
  std::unique_ptr<DbusConnection> connection(new DbusConnection(loop, bus));
  connection->rearm();
  return connection;
}

DbusConnection::DbusConnection(EventLoop& loop, sd_bus* bus) : loop_(loop), bus_(bus) {}

DbusConnection::~DbusConnection() {
  *alive_ = false;
  for (PendingCall* call : pending_)
    call->detach();
  pending_.clear();
  for (const auto& state : subscriptions_)
    state->detach();
  subscriptions_.clear();
  if (watch_) loop_.unwatch(watch_);
  if (timer_) loop_.cancelTimer(timer_);
  // No flush: a bus that stopped reading must not hold the helper at its end.
  sd_bus_close_unref(bus_);
}

DbusMessage DbusConnection::newCall(const DbusTarget& target, const std::string& member) {
  sd_bus_message* m = nullptr;
  if (sd_bus_message_new_method_call(bus_, &m, target.destination.c_str(), target.path.c_str(),
                                     target.interface.c_str(), member.c_str()) < 0) {
    return {};
  }
  return DbusMessage::adopt(m);
}

Task<Expected<DbusMessage, Failure>> DbusConnection::call(DbusMessage request, Duration deadline) {
  if (lostReported_) co_return failed(lostReason_);
  if (!request) co_return failed("Not a valid D-Bus method call.");
  const char* destination = sd_bus_message_get_destination(request.get());
  const std::string what =
      std::string(destination ? destination : "") + " " +
      (sd_bus_message_get_interface(request.get()) ? sd_bus_message_get_interface(request.get())
                                                   : "") +
      "." + request.member();
  PendingCall pending(this, loop_);
  // sd-bus keeps no deadline of its own: the loop's clock is the one that counts.
  const int r = sd_bus_call_async(bus_, &pending.slot, request.get(), &PendingCall::onReply,
                                  &pending, UINT64_MAX);
  if (r < 0) co_return failed("Cannot call " + what + ": " + errnoText(r) + ".");
  pending_.insert(&pending);
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline).count();
  pending.timer = loop_.addTimer(deadline, [&pending, what, ms] {
    pending.timer = 0;
    pending.finish(failed("No reply from " + what + " within " + std::to_string(ms) + " ms."));
  });
  rearm();
  co_await pending;
  co_return std::move(*pending.result);
}

Expected<DbusSubscription, Failure> DbusConnection::subscribe(const DbusSignalMatch& match,
                                                              SignalHandler handler) {
  if (lostReported_) return failed(lostReason_);
  auto state = std::make_shared<DbusSubscription::State>();
  state->connection = this;
  state->handler = std::move(handler);
  auto field = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
  const int r = sd_bus_match_signal_async(
      bus_, &state->slot, field(match.sender), field(match.path), field(match.interface),
      field(match.member), &DbusSubscription::State::onSignal, nullptr, state.get());
  if (r < 0) return failed("Cannot subscribe to D-Bus signals: " + errnoText(r) + ".");
  subscriptions_.insert(state);
  rearm();
  return DbusSubscription(std::move(state));
}

Task<Expected<DbusSubscription, Failure>> DbusConnection::subscribeConfirmed(DbusSignalMatch match,
                                                                             SignalHandler handler,
                                                                             Duration deadline) {
  auto subscription = subscribe(match, std::move(handler));
  if (!subscription) co_return subscription;
  // The bus handles one client's messages in order: once it answers a later call, the match
  // is in place.
  const DbusTarget bus{"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus"};
  auto request = newCall(bus, "GetId");
  auto ping = co_await call(std::move(request), deadline);
  if (!ping) co_return failed(ping.error().description);
  co_return subscription;
}

void DbusConnection::pump() {
  if (lostReported_ || pumping_) return;
  pumping_ = true;
  for (int i = 0; i < kMessagesPerTurn; ++i) {
    const int r = sd_bus_process(bus_, nullptr);
    if (r < 0) {
      pumping_ = false;
      connectionLost(errnoText(r));
      return;
    }
    if (r == 0) break;
    if (i + 1 == kMessagesPerTurn) {
      loop_.defer([this, token = alive_] {
        if (*token) pump();
      });
    }
  }
  pumping_ = false;
  rearm();
}

void DbusConnection::rearm() {
  if (lostReported_) return;
  const int fd = sd_bus_get_fd(bus_);
  const int events = sd_bus_get_events(bus_);
  if (fd < 0 || events < 0) return connectionLost(errnoText(fd < 0 ? fd : events));
  const auto wanted = static_cast<short>(events);
  if (!watch_ || wanted != watchedEvents_) {
    if (watch_) loop_.unwatch(watch_);
    watchedEvents_ = wanted;
    watch_ = loop_.watch(fd, wanted, [this](short) { pump(); });
  }
  if (timer_) loop_.cancelTimer(timer_);
  timer_ = 0;
  std::uint64_t due = UINT64_MAX;
  if (sd_bus_get_timeout(bus_, &due) < 0 || due == UINT64_MAX) return;
  // sd-bus names an instant of CLOCK_MONOTONIC; the loop's clock may be a manual one.
  const std::uint64_t now = monotonicMicros();
  const auto after = std::chrono::microseconds(due > now ? due - now : 0);
  timer_ = loop_.addTimer(std::chrono::duration_cast<Duration>(after), [this] {
    timer_ = 0;
    pump();
  });
}

void DbusConnection::connectionLost(const std::string& why) {
  if (lostReported_) return;
  lostReported_ = true;
  lostReason_ = "The message bus went away (" + why + ").";
  if (watch_) loop_.unwatch(watch_);
  watch_ = 0;
  if (timer_) loop_.cancelTimer(timer_);
  timer_ = 0;
  const std::vector<PendingCall*> waiting(pending_.begin(), pending_.end());
  for (PendingCall* call : waiting)
    call->finish(failed(lostReason_));
  loop_.defer([this, token = alive_] {
    if (!*token) return;
    for (auto& fn : lost_)
      fn();
  });
}

}  // namespace orvel::dbus
