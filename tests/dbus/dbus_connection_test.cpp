// The D-Bus connection on the event loop, against a private dbus-daemon and a small service
// served through a second connection on the same loop.
#include "platform/dbus/dbus_connection.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "bus_daemon.h"
#include "orvel/common/task.h"

namespace orvel::dbus {
namespace {

using namespace std::chrono_literals;
using dbustest::BusDaemon;

constexpr const char* kName = "org.orvel.Test";
constexpr const char* kPath = "/org/orvel/Test";
const DbusTarget kTarget{kName, kPath, kName};

// Echo(s) answers its argument, Fail() an error, Hang() nothing, Announce(s) emits Said(s) first.
int echo(sd_bus_message* m, void*, sd_bus_error*) {
  const char* text = nullptr;
  if (int r = sd_bus_message_read(m, "s", &text); r < 0) return r;
  return sd_bus_reply_method_return(m, "s", text);
}
int fail(sd_bus_message* m, void*, sd_bus_error*) {
  return sd_bus_reply_method_errorf(m, "org.orvel.Test.Refused", "refused on purpose");
}
int hang(sd_bus_message*, void*, sd_bus_error*) {
  return 1;
}
int announce(sd_bus_message* m, void*, sd_bus_error*) {
  const char* text = nullptr;
  if (int r = sd_bus_message_read(m, "s", &text); r < 0) return r;
  sd_bus* bus = sd_bus_message_get_bus(m);
  if (int r = sd_bus_emit_signal(bus, kPath, kName, "Said", "s", text); r < 0) return r;
  return sd_bus_reply_method_return(m, "");
}
const sd_bus_vtable kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Echo", "s", "s", echo, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Fail", "", "", fail, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Hang", "", "", hang, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Announce", "s", "", announce, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("Said", "s", 0),
    SD_BUS_VTABLE_END};

class DbusConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    daemon_ = BusDaemon::start(whyNot);
    if (!daemon_) GTEST_SKIP() << "D-Bus test skipped: " << whyNot;
    auto service = DbusConnection::openAddress(loop_, daemon_->address());
    ASSERT_TRUE(service) << service.error().description;
    service_ = std::move(service.value());
    ASSERT_GE(sd_bus_add_object_vtable(service_->raw(), &vtable_, kPath, kName, kVtable, nullptr),
              0);
    ASSERT_GE(sd_bus_request_name(service_->raw(), kName, 0), 0);
    // The name request ran on the bus directly: let the loop see what it left queued.
    service_->pump();
    auto client = DbusConnection::openAddress(loop_, daemon_->address());
    ASSERT_TRUE(client) << client.error().description;
    client_ = std::move(client.value());
  }
  void TearDown() override { sd_bus_slot_unref(vtable_); }

  // Runs the loop until `done` holds, at most `limit`.
  bool runUntil(const std::function<bool()>& done, Duration limit = 20s) {
    bool late = false;
    const auto timer = loop_.addTimer(limit, [&] { late = true; });
    loop_.runUntil([&] { return late || done(); });
    loop_.cancelTimer(timer);
    return done();
  }

  // Calls `member` of the test service with an optional string argument.
  std::optional<Expected<DbusMessage, Failure>> callService(const std::string& member,
                                                            const char* argument,
                                                            Duration deadline = 10s) {
    std::optional<Expected<DbusMessage, Failure>> result;
    auto request = client_->newCall(kTarget, member);
    if (argument) {
      EXPECT_GE(sd_bus_message_append(request.get(), "s", argument), 0);
    }
    spawn(loop_,
          [&, request = std::make_shared<DbusMessage>(std::move(request)), deadline]() -> Task<> {
            result.emplace(co_await client_->call(std::move(*request), deadline));
          });
    runUntil([&] { return result.has_value(); });
    return result;
  }

  SteadyClock clock_;
  EventLoop loop_{clock_};
  std::unique_ptr<BusDaemon> daemon_;
  std::unique_ptr<DbusConnection> service_;
  std::unique_ptr<DbusConnection> client_;
  sd_bus_slot* vtable_ = nullptr;
};

TEST_F(DbusConnectionTest, RepliesAndErrorsComeBackAsValues) {
  auto reply = callService("Echo", "grüß dich");
  ASSERT_TRUE(reply && *reply) << (reply && !*reply ? reply->error().description : "no answer");
  const char* text = nullptr;
  ASSERT_GE(sd_bus_message_read((*reply)->get(), "s", &text), 0);
  EXPECT_STREQ(text, "grüß dich");

  auto refused = callService("Fail", nullptr);
  ASSERT_TRUE(refused && !*refused);
  EXPECT_EQ(refused->error().description, "org.orvel.Test.Refused: refused on purpose");

  auto unknown = callService("NoSuchMethod", nullptr);
  ASSERT_TRUE(unknown && !*unknown);
  EXPECT_EQ(unknown->error().description.rfind("org.freedesktop.DBus.Error.UnknownMethod", 0), 0u)
      << unknown->error().description;

  // Several calls in flight at once each get their own reply.
  std::vector<std::string> answers(5);
  int done = 0;
  for (int i = 0; i < 5; ++i) {
    spawn(loop_, [&, i]() -> Task<> {
      auto request = client_->newCall(kTarget, "Echo");
      EXPECT_GE(sd_bus_message_append(request.get(), "s", std::to_string(i * 11).c_str()), 0);
      auto r = co_await client_->call(std::move(request), 10s);
      const char* s = nullptr;
      if (r && sd_bus_message_read(r->get(), "s", &s) >= 0) answers[i] = s;
      ++done;
    });
  }
  ASSERT_TRUE(runUntil([&] { return done == 5; }));
  EXPECT_EQ(answers, (std::vector<std::string>{"0", "11", "22", "33", "44"}));
}

TEST_F(DbusConnectionTest, SilenceFailsAtTheDeadlineAndAbsentServicesAtOnce) {
  const auto before = std::chrono::steady_clock::now();
  auto silent = callService("Hang", nullptr, 300ms);
  const auto waited = std::chrono::steady_clock::now() - before;
  ASSERT_TRUE(silent && !*silent);
  EXPECT_EQ(silent->error().description,
            "No reply from org.orvel.Test org.orvel.Test.Hang within 300 ms.");
  EXPECT_GE(waited, 300ms);

  // The connection still works after a call timed out.
  auto reply = callService("Echo", "again");
  EXPECT_TRUE(reply && *reply);

  std::optional<Expected<DbusMessage, Failure>> absent;
  spawn(loop_, [&]() -> Task<> {
    auto request = client_->newCall({"org.orvel.Absent", "/x", "org.orvel.Absent"}, "M");
    absent.emplace(co_await client_->call(std::move(request), 10s));
  });
  ASSERT_TRUE(runUntil([&] { return absent.has_value(); }));
  ASSERT_FALSE(*absent);
  EXPECT_EQ(absent->error().description.rfind("org.freedesktop.DBus.Error.ServiceUnknown", 0), 0u)
      << absent->error().description;
}

TEST_F(DbusConnectionTest, SignalsReachSubscribersUntilTheyUnsubscribe) {
  std::vector<std::string> heard;
  std::optional<Expected<DbusSubscription, Failure>> subscription;
  DbusConnection::SignalHandler handler = [&](const DbusMessage& m) {
    const char* s = nullptr;
    if (sd_bus_message_read(m.get(), "s", &s) >= 0) heard.push_back(s);
    // A handler may end its own subscription.
    if (heard.size() == 2) *subscription = failed("ended");
  };
  spawn(loop_, [&]() -> Task<> {
    DbusSignalMatch match{kName, kPath, kName, "Said"};
    subscription.emplace(co_await client_->subscribeConfirmed(match, handler, 10s));
  });
  ASSERT_TRUE(runUntil([&] { return subscription.has_value(); }));
  ASSERT_TRUE(*subscription) << subscription->error().description;

  for (const char* word : {"one", "two"})
    ASSERT_TRUE(callService("Announce", word)->hasValue());
  ASSERT_TRUE(runUntil([&] { return heard.size() == 2; }));
  // After the handler ended it, a third signal reaches nobody; an Echo round trip later it
  // would have arrived.
  ASSERT_TRUE(callService("Announce", "three")->hasValue());
  ASSERT_TRUE(callService("Echo", "flush")->hasValue());
  loop_.runUntilIdle();
  EXPECT_EQ(heard, (std::vector<std::string>{"one", "two"}));
}

TEST_F(DbusConnectionTest, ALostBusFailsWaitingCallsAndTellsOnce) {
  int lost = 0;
  client_->onLost([&] { ++lost; });
  std::optional<Expected<DbusMessage, Failure>> waiting;
  spawn(loop_, [&]() -> Task<> {
    auto request = client_->newCall(kTarget, "Hang");
    waiting.emplace(co_await client_->call(std::move(request), 20s));
  });
  // The call has reached the service once a later one has been answered.
  ASSERT_TRUE(callService("Echo", "sync")->hasValue());
  ASSERT_FALSE(waiting);

  const auto before = std::chrono::steady_clock::now();
  daemon_->kill();
  ASSERT_TRUE(runUntil([&] { return waiting.has_value() && lost > 0; }));
  EXPECT_LT(std::chrono::steady_clock::now() - before, 10s);
  EXPECT_FALSE(*waiting);
  EXPECT_TRUE(client_->lost());
  loop_.runUntilIdle();
  EXPECT_EQ(lost, 1);

  // From now on calls fail at once with the same reason.
  auto after = callService("Echo", "late");
  ASSERT_TRUE(after && !*after);
  EXPECT_EQ(after->error().description.rfind("The message bus went away", 0), 0u)
      << after->error().description;
  // Neither connection keeps watching a dead socket.
  ASSERT_TRUE(runUntil([&] { return service_->lost(); }));
  EXPECT_EQ(loop_.watchCount(), 0u);
}

TEST(DbusOpenTest, NamesWhatIsMissing) {
  SteadyClock clock;
  EventLoop loop(clock);
  const char* saved = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string keep = saved ? saved : "";
  ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  auto none = DbusConnection::openSession(loop);
  if (saved) ::setenv("DBUS_SESSION_BUS_ADDRESS", keep.c_str(), 1);
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().description, "No session bus: DBUS_SESSION_BUS_ADDRESS is not set.");

  auto nothing = DbusConnection::openAddress(loop, "unix:path=/nonexistent/orvel/bus");
  ASSERT_FALSE(nothing);
  EXPECT_EQ(nothing.error().description,
            "Cannot connect to the message bus at unix:path=/nonexistent/orvel/bus: No such file "
            "or directory.");
  EXPECT_EQ(loop.watchCount(), 0u);
}

}  // namespace
}  // namespace orvel::dbus
