// What the GNOME tests that look at the shell's pictures share: a headless shell of their own
// (gnome_rig.h) out of its Activities overview (where windows take no input), entered by this
// process, with the test's session-bus connection on the test's loop, and the
// shell's own pictures of every monitor (the truth the helpers' pictures are held to).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gnome_hand.h"
#include "gnome_rig.h"
#include "loop_runner.h"
#include "platform/gnome/monitor_pictures.h"

namespace orvel::gnometest {

class GnomeDeskTest : public ::testing::Test {
 protected:
  // Starts the shell; skips the test when it is not installed (rig_ stays null), fails it when it
  // does not come up, the connections cannot be opened or the overview does not end.
  void startShell(const GnomeOptions& options = {}) {
    std::string whyNot;
    bool missing = false;
    rig_ = GnomeRig::start(options, whyNot, &missing);
    if (!rig_ && missing) GTEST_SKIP() << "GNOME test skipped: " << whyNot;
    ASSERT_TRUE(rig_) << whyNot;
    rig_->enter();
    auto bus = dbus::DbusConnection::openSession(*loop_);
    ASSERT_TRUE(bus) << bus.error().description;
    bus_ = std::move(*bus);
    ASSERT_TRUE(leaveOverview(*loop_, *bus_)) << rig_->shellLog();
  }

  // The shell's own picture of every monitor; nothing when they did not come. Through a PipeWire
  // connection of its own, closed with the pictures: one left open and unread while the test
  // waits on a port holds up the first frames of the port's screen casts (monitor_pictures.h).
  std::optional<std::vector<gnome::MonitorPicture>> monitorPictures() {
    // mutter sends a new recording's first frame at its next repaint; on a still screen of a
    // loaded machine that one is sometimes lost, and no other comes: a new recording asks again.
    for (int attempt = 0; attempt < 3; ++attempt) {
      if (auto pictures = monitorPicturesOnce()) return pictures;
    }
    return std::nullopt;
  }
  std::optional<std::vector<gnome::MonitorPicture>> monitorPicturesOnce() {
    using namespace std::chrono_literals;
    auto pipewire = gnome::PipeWireConnection::open(*loop_);
    if (!pipewire) {
      std::cerr << "the shell's pictures did not come: " << pipewire.error().description
                << std::endl;
      return std::nullopt;
    }
    auto pictures = dbustest::runTask<Expected<std::vector<gnome::MonitorPicture>, Failure>>(
        *loop_, [&] { return gnome::takeMonitorPictures(*bus_, **pipewire, 4s); }, 6s);
    if (!pictures || !*pictures) {
      std::cerr << "the shell's pictures did not come: "
                << (pictures ? pictures->error().description : "none") << std::endl;
      return std::nullopt;
    }
    return std::move(**pictures);
  }

  SteadyClock clock_;
  std::unique_ptr<EventLoop> loop_ = std::make_unique<EventLoop>(clock_);
  std::unique_ptr<GnomeRig> rig_;
  std::unique_ptr<dbus::DbusConnection> bus_;
};

}  // namespace orvel::gnometest
