// The headless GNOME desktop itself: it starts as the recipe says and its ScreenCast answers.
#include "gnome_rig.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "loop_runner.h"
#include "platform/dbus/dbus_connection.h"

namespace orvel::gnometest {
namespace {

using namespace std::chrono_literals;
using dbus::DbusConnection;
using dbus::DbusMessage;

std::string uidLine(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Uid:", 0) == 0) return line;
  }
  return {};
}

TEST(GnomeRigTest, ShellRunsUnprivilegedAndItsScreenCastOpensSessions) {
  START_GNOME(rig, GnomeOptions{});
  ASSERT_GT(rig->shellPid(), 0);
  if (::geteuid() == 0) {
    EXPECT_NE(uidLine(rig->shellPid()).find("65534"), std::string::npos);
  }

  SteadyClock clock;
  EventLoop loop(clock);
  auto bus = DbusConnection::openAddress(loop, rig->sessionBus());
  ASSERT_TRUE(bus) << bus.error().description;
  DbusConnection& connection = **bus;
  const dbus::DbusTarget screenCast{"org.gnome.Mutter.ScreenCast", "/org/gnome/Mutter/ScreenCast",
                                    "org.gnome.Mutter.ScreenCast"};

  auto version = dbustest::runTask<Expected<DbusMessage, Failure>>(loop, [&] {
    auto get = connection.newCall(
        {screenCast.destination, screenCast.path, "org.freedesktop.DBus.Properties"}, "Get");
    EXPECT_GE(sd_bus_message_append(get.get(), "ss", screenCast.interface.c_str(), "Version"), 0);
    // A shell on a loaded machine can take seconds to answer its first calls.
    return connection.call(std::move(get), 30s);
  });
  ASSERT_TRUE(version && *version)
      << (version ? version->error().description : "no answer") << "; the shell's log ends:\n"
      << rig->shellLog();
  int number = 0;
  ASSERT_GE(sd_bus_message_read((*version)->get(), "v", "i", &number), 0);
  EXPECT_GE(number, 1);

  auto session = dbustest::runTask<Expected<DbusMessage, Failure>>(loop, [&] {
    auto create = connection.newCall(screenCast, "CreateSession");
    EXPECT_GE(sd_bus_message_append(create.get(), "a{sv}", 0), 0);
    return connection.call(std::move(create), 10s);
  });
  ASSERT_TRUE(session && *session)
      << (session ? session->error().description : "no answer") << "; the shell's log ends:\n"
      << rig->shellLog();
  const char* path = nullptr;
  ASSERT_GE(sd_bus_message_read((*session)->get(), "o", &path), 0);
  const std::string sessionPath = path;
  EXPECT_EQ(sessionPath.rfind("/org/gnome/Mutter/ScreenCast/Session/", 0), 0u) << sessionPath;

  auto stopped = dbustest::runTask<Expected<DbusMessage, Failure>>(loop, [&] {
    auto stop = connection.newCall(
        {screenCast.destination, sessionPath, "org.gnome.Mutter.ScreenCast.Session"}, "Stop");
    return connection.call(std::move(stop), 10s);
  });
  ASSERT_TRUE(stopped && *stopped)
      << (stopped ? stopped->error().description : "no answer") << "; the shell's log ends:\n"
      << rig->shellLog();
}

}  // namespace
}  // namespace orvel::gnometest
