// The scroll helper's GNOME window list (gnome_window_list.h) against a stand-in for Orvel's
// extension on a private bus: served through a second connection on the same loop, it owns the
// extension's name when told to, answers GetWindows with the report it holds or refuses, records
// activations, and announces changes.
#include "platform/gnome/gnome_window_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bus_daemon.h"
#include "loop_runner.h"

namespace orvel::gnome {
namespace {

using namespace std::chrono_literals;

struct StandIn {
  std::string report;
  bool refuse = false;
  int asked = 0;
  std::vector<std::string> activated;
};

int getWindows(sd_bus_message* m, void* data, sd_bus_error*) {
  auto* extension = static_cast<StandIn*>(data);
  ++extension->asked;
  if (extension->refuse)
    return sd_bus_reply_method_errorf(m, "org.freedesktop.DBus.Error.AccessDenied", "not you");
  return sd_bus_reply_method_return(m, "s", extension->report.c_str());
}
int activate(sd_bus_message* m, void* data, sd_bus_error*) {
  const char* id = nullptr;
  if (int r = sd_bus_message_read(m, "s", &id); r < 0) return r;
  static_cast<StandIn*>(data)->activated.push_back(id);
  return sd_bus_reply_method_return(m, "");
}
const sd_bus_vtable kVtable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("GetWindows", "", "s", getWindows, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Activate", "s", "", activate, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("WindowsChanged", "", 0), SD_BUS_VTABLE_END};

std::string reportOf(const std::string& caption, int x) {
  return R"({"windows":[{"id":"7","pid":42,"caption":")" + caption + R"(","x":)" +
         std::to_string(x) + R"(,"y":30,"width":640,"height":480,"stacking":0,"active":true},)" +
         R"({"id":"top-bar","pid":9,"x":0,"y":0,"width":1280,"height":32,"stacking":1,)" +
         R"("dock":true}]})";
}

class GnomeWindowListService : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    daemon_ = dbustest::BusDaemon::start(whyNot);
    if (!daemon_) GTEST_SKIP() << "D-Bus test skipped: " << whyNot;
    for (auto* connection : {&service_, &stranger_, &client_}) {
      auto opened = dbus::DbusConnection::openAddress(loop_, daemon_->address());
      ASSERT_TRUE(opened) << opened.error().description;
      *connection = std::move(opened.value());
    }
    ASSERT_GE(sd_bus_add_object_vtable(service_->raw(), &vtable_, kExtensionWindowsPath,
                                       kExtensionWindowsInterface, kVtable, &extension_),
              0);
    list_ = std::make_unique<GnomeWindowList>(*client_);
    auto started =
        dbustest::runTask<Expected<void, Failure>>(loop_, [&] { return list_->start(5s); });
    ASSERT_TRUE(started && *started);
  }
  void TearDown() override {
    list_.reset();
    sd_bus_slot_unref(vtable_);
  }

  bool runUntil(const std::function<bool()>& done) { return dbustest::runUntil(loop_, done); }
  void own(bool owned) {
    if (owned)
      ASSERT_GE(sd_bus_request_name(service_->raw(), kExtensionBusName, 0), 0);
    else
      ASSERT_GE(sd_bus_release_name(service_->raw(), kExtensionBusName), 0);
    service_->pump();
  }
  void announce(dbus::DbusConnection& from) {
    ASSERT_GE(sd_bus_emit_signal(from.raw(), kExtensionWindowsPath, kExtensionWindowsInterface,
                                 "WindowsChanged", ""),
              0);
    from.pump();
  }
  const platform::ReportedWindow* window(const std::string& id) {
    if (!list_->windows()) return nullptr;
    for (const auto& w : *list_->windows())
      if (w.id == id) return &w;
    return nullptr;
  }

  SteadyClock clock_;
  EventLoop loop_{clock_};
  std::unique_ptr<dbustest::BusDaemon> daemon_;
  std::unique_ptr<dbus::DbusConnection> service_, stranger_, client_;
  sd_bus_slot* vtable_ = nullptr;
  StandIn extension_;
  std::unique_ptr<GnomeWindowList> list_;
};

TEST_F(GnomeWindowListService, FollowsTheExtensionComingReportingAndLeaving) {
  EXPECT_TRUE(runUntil([&] { return list_->whyUnreadable() == kExtensionNotEnabled; }));
  EXPECT_FALSE(list_->windows());

  extension_.report = reportOf("Page", 10);
  ASSERT_NO_FATAL_FAILURE(own(true));
  ASSERT_TRUE(runUntil([&] { return window("7") != nullptr; }));
  EXPECT_EQ(list_->whyUnreadable(), std::nullopt);
  // Front-most first: the top bar, a dock of the shell's.
  EXPECT_EQ((*list_->windows())[0].id, "top-bar");
  EXPECT_TRUE((*list_->windows())[0].dock);
  EXPECT_EQ(window("7")->pid, 42);
  EXPECT_EQ(window("7")->frame, (Rect{10, 30, 640, 480}));
  const std::uint32_t number = list_->numberOf("7");
  EXPECT_NE(number, 0u);

  // A change is read again after the extension's signal, and only after the extension's.
  extension_.report = reportOf("Page", 200);
  const int asked = extension_.asked;
  ASSERT_NO_FATAL_FAILURE(announce(*stranger_));
  ASSERT_NO_FATAL_FAILURE(announce(*service_));
  ASSERT_TRUE(runUntil([&] { return window("7") && window("7")->frame.x == 200; }));
  EXPECT_EQ(extension_.asked, asked + 1);
  EXPECT_EQ(list_->numberOf("7"), number);

  // A report that is not one leaves the last one standing.
  extension_.report = R"({"windows":)";
  ASSERT_NO_FATAL_FAILURE(announce(*service_));
  ASSERT_TRUE(runUntil([&] { return extension_.asked == asked + 2; }));
  EXPECT_TRUE(window("7"));

  list_->activate("7");
  EXPECT_TRUE(runUntil([&] { return extension_.activated == std::vector<std::string>{"7"}; }));

  ASSERT_NO_FATAL_FAILURE(own(false));
  EXPECT_TRUE(runUntil([&] { return list_->whyUnreadable() == kExtensionNotEnabled; }));
  EXPECT_FALSE(list_->windows());
}

TEST_F(GnomeWindowListService, ARefusalSaysWhoIsAnswered) {
  extension_.refuse = true;
  ASSERT_NO_FATAL_FAILURE(own(true));
  std::string why;
  EXPECT_TRUE(runUntil([&] {
    why = list_->whyUnreadable().value_or("");
    return why.rfind(kExtensionRefused, 0) == 0;
  })) << why;
  EXPECT_NE(why.find("org.freedesktop.DBus.Error.AccessDenied: not you"), std::string::npos);
  EXPECT_FALSE(list_->windows());
}

}  // namespace
}  // namespace orvel::gnome
