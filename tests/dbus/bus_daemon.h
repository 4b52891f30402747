// A private message bus for tests: `dbus-daemon --session` on a socket in a folder of its own,
// stopped by pid when the owner goes away (and when the test process dies first).
#pragma once

#include <memory>
#include <string>

#include "child_process.h"

namespace orvel::dbustest {

class BusDaemon {
 public:
  // Nothing, with the reason in `whyNot`, when dbus-daemon cannot start.
  static std::unique_ptr<BusDaemon> start(std::string& whyNot);
  ~BusDaemon();
  BusDaemon(const BusDaemon&) = delete;
  BusDaemon& operator=(const BusDaemon&) = delete;

  // The bus's D-Bus address, as DBUS_SESSION_BUS_ADDRESS takes it.
  const std::string& address() const { return address_; }
  // Ends the daemon now (for tests of a bus that goes away).
  void kill();

 private:
  BusDaemon() = default;
  std::string folder_;
  std::string address_;
  std::unique_ptr<testsupport::ChildProcess> daemon_;
};

}  // namespace orvel::dbustest
