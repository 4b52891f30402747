#include "bus_daemon.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "rig_support.h"

namespace orvel::dbustest {

using namespace std::chrono_literals;

std::unique_ptr<BusDaemon> BusDaemon::start(std::string& whyNot) {
  std::unique_ptr<BusDaemon> bus(new BusDaemon);
  if (!testsupport::makeRigFolder("bus", bus->folder_, whyNot)) return nullptr;
  testsupport::ChildProcess::Options o;
  o.pipeStdin = false;
  bus->daemon_ = testsupport::ChildProcess::start(
      {"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1",
       "--address=unix:path=" + bus->folder_ + "/bus"},
      o);
  if (!bus->daemon_) {
    whyNot = "dbus-daemon is not installed (tools/install-deps installs it)";
    return nullptr;
  }
  // The daemon prints its address once it listens.
  auto line = bus->daemon_->readLine(20s);
  if (!line || line->empty()) {
    whyNot = "dbus-daemon did not start";
    return nullptr;
  }
  bus->address_ = *line;
  return bus;
}

BusDaemon::~BusDaemon() {
  kill();
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

void BusDaemon::kill() {
  if (!daemon_) return;
  daemon_->kill();
  daemon_.reset();
}

}  // namespace orvel::dbustest
