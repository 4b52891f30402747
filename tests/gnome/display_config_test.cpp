// Reading mutter's GetCurrentState reply into monitors, from messages built here.
#include "platform/gnome/display_config.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace orvel::gnome {
namespace {

struct FakeMode {
  int width;
  int height;
  bool current;
};
struct FakeMonitor {
  std::string connector;
  std::vector<FakeMode> modes;
};
struct FakeLogical {
  int x;
  int y;
  double scale;
  std::string connector;
};

class DisplayConfigTest : public ::testing::Test {
 protected:
  // Messages need an open bus: one on a socket pair that never sends.
  void SetUp() override {
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds_), 0);
    ASSERT_GE(sd_bus_new(&bus_), 0);
    ASSERT_GE(sd_bus_set_fd(bus_, fds_[0], fds_[0]), 0);
    ASSERT_GE(sd_bus_start(bus_), 0);
  }
  void TearDown() override {
    sd_bus_close_unref(bus_);
    ::close(fds_[1]);
  }

  dbus::DbusMessage newMessage() {
    sd_bus_message* m = nullptr;
    EXPECT_GE(sd_bus_message_new_signal(bus_, &m, "/t", "org.orvel.T", "S"), 0);
    return dbus::DbusMessage::adopt(m);
  }
  // Seals `m` and rewinds it for reading, as a received reply is.
  static void seal(const dbus::DbusMessage& m) {
    ASSERT_GE(sd_bus_message_seal(m.get(), 1, 0), 0);
    ASSERT_GE(sd_bus_message_rewind(m.get(), 1), 0);
  }

  // layoutMode 0: the property left out.
  dbus::DbusMessage state(const std::vector<FakeMonitor>& monitors,
                          const std::vector<FakeLogical>& logical, std::uint32_t layoutMode = 1) {
    auto message = newMessage();
    sd_bus_message* m = message.get();
    EXPECT_GE(sd_bus_message_append(m, "u", 7u), 0);
    EXPECT_GE(sd_bus_message_open_container(m, 'a', "((ssss)a(siiddada{sv})a{sv})"), 0);
    for (const FakeMonitor& monitor : monitors) {
      EXPECT_GE(sd_bus_message_open_container(m, 'r', "(ssss)a(siiddada{sv})a{sv}"), 0);
      EXPECT_GE(sd_bus_message_append(m, "(ssss)", monitor.connector.c_str(), "V", "P", "S"), 0);
      EXPECT_GE(sd_bus_message_open_container(m, 'a', "(siiddada{sv})"), 0);
      for (const FakeMode& mode : monitor.modes) {
        EXPECT_GE(sd_bus_message_append(m, "(siiddada{sv})", "mode", mode.width, mode.height, 60.0,
                                        1.0, 2, 1.0, 2.0, mode.current ? 2 : 1, "is-preferred", "b",
                                        1, "is-current", "b", 1),
                  0);
      }
      EXPECT_GE(sd_bus_message_close_container(m), 0);
      EXPECT_GE(sd_bus_message_append(m, "a{sv}", 1, "display-name", "s", "Test"), 0);
      EXPECT_GE(sd_bus_message_close_container(m), 0);
    }
    EXPECT_GE(sd_bus_message_close_container(m), 0);
    EXPECT_GE(sd_bus_message_open_container(m, 'a', "(iiduba(ssss)a{sv})"), 0);
    for (const FakeLogical& l : logical) {
      EXPECT_GE(sd_bus_message_append(m, "(iiduba(ssss)a{sv})", l.x, l.y, l.scale, 0u, 0, 1,
                                      l.connector.c_str(), "V", "P", "S", 0),
                0);
    }
    EXPECT_GE(sd_bus_message_close_container(m), 0);
    if (layoutMode == 0) {
      EXPECT_GE(sd_bus_message_append(m, "a{sv}", 1, "supports-mirroring", "b", 1), 0);
    } else {
      EXPECT_GE(sd_bus_message_append(m, "a{sv}", 2, "supports-mirroring", "b", 1, "layout-mode",
                                      "u", layoutMode),
                0);
    }
    seal(message);
    return message;
  }

  sd_bus* bus_ = nullptr;
  int fds_[2] = {-1, -1};
};

TEST_F(DisplayConfigTest, ShownMonitorsCarryTheirCurrentModeAndLogicalPlace) {
  auto reply = state({{"Meta-0", {{1920, 1080, false}, {1280, 800, true}}},
                      {"Meta-1", {{2048, 1536, true}}},
                      {"Meta-2", {{800, 600, false}}},  // no current mode: off
                      {"Meta-3", {{640, 480, true}}}},  // in no logical monitor
                     {{0, 0, 1.0, "Meta-0"}, {1280, 0, 2.0, "Meta-1"}, {0, 800, 1.0, "Meta-2"}});
  auto monitors = readMonitors(reply);
  ASSERT_TRUE(monitors) << monitors.error().description;
  ASSERT_EQ(monitors->size(), 2u);
  const GnomeMonitor& a = (*monitors)[0];
  const GnomeMonitor& b = (*monitors)[1];
  EXPECT_EQ(a.connector, "Meta-0");
  EXPECT_EQ(std::make_tuple(a.widthPx, a.heightPx, a.x, a.y, a.scale),
            std::make_tuple(1280, 800, 0, 0, 1.0));
  EXPECT_EQ(b.connector, "Meta-1");
  EXPECT_EQ(std::make_tuple(b.widthPx, b.heightPx, b.x, b.y, b.scale),
            std::make_tuple(2048, 1536, 1280, 0, 2.0));
  EXPECT_EQ(std::make_pair(b.layoutWidth, b.layoutHeight), std::make_pair(1024.0, 768.0));
}

TEST_F(DisplayConfigTest, TheLayoutModeSaysWhetherSizesAreLogicalOrPhysical) {
  const std::vector<FakeMonitor> monitors = {{"A", {{2560, 1600, true}}}};
  const std::vector<FakeLogical> places = {{0, 0, 1.25, "A"}};
  auto logical = readMonitors(state(monitors, places, 1));
  auto physical = readMonitors(state(monitors, places, 2));
  auto unsaid = readMonitors(state(monitors, places, 0));
  ASSERT_TRUE(logical && physical && unsaid);
  ASSERT_EQ(logical->size(), 1u);
  EXPECT_EQ(std::make_pair((*logical)[0].layoutWidth, (*logical)[0].layoutHeight),
            std::make_pair(2048.0, 1280.0));
  EXPECT_EQ(std::make_pair((*physical)[0].layoutWidth, (*physical)[0].layoutHeight),
            std::make_pair(2560.0, 1600.0));
  EXPECT_EQ((*unsaid)[0].layoutWidth, 2560.0);
  EXPECT_EQ((*logical)[0].widthPx, 2560);
}

TEST_F(DisplayConfigTest, AReplyOfAnotherShapeIsUnreadable) {
  auto other = newMessage();
  ASSERT_GE(sd_bus_message_append(other.get(), "us", 1u, "not monitors"), 0);
  seal(other);
  auto monitors = readMonitors(other);
  ASSERT_FALSE(monitors);
  EXPECT_EQ(monitors.error().description, "GNOME Shell's monitor list could not be read.");
  EXPECT_FALSE(readMonitors(dbus::DbusMessage{}));
}

}  // namespace
}  // namespace orvel::gnome
