// The GNOME test desktop: a headless gnome-shell with virtual monitors, run as the unprivileged
// user 65534 (it refuses root) inside a session bus of its own (dbus-run-session), with a
// private system bus, pipewire and wireplumber. The session bus also admits root, so a test
// running as root talks to the shell in process. Everything it starts is stopped when it goes
// away, also when the test process dies first: the session's shell waits on our pipe.
#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "child_process.h"

namespace orvel::gnometest {

struct GnomeOptions {
  // Virtual monitors, left to right, in pixels.
  std::vector<std::pair<int, int>> monitors = {{1280, 800}, {1024, 768}};
  // Each monitor's scale, in the same order; empty: the shell's own choice (1 here). Given, the
  // shell lays out logical pixels with fractional scaling on (mutter's experimental
  // `scale-monitor-framebuffer`, as the user's settings switch it on), the first monitor the main
  // one, each to the right of the one before at its mode over its scale, which must be whole
  // (mutter offers only such scales).
  std::vector<double> scales;
  // Data folders (an install prefix's share) searched before the system's: the shell finds the
  // extensions there when it starts.
  std::vector<std::string> dataDirs;
};

class GnomeRig {
 public:
  // Nothing, with the reason in `whyNot`, when the shell cannot start; `missing` (when given) is
  // set when that is because a program is not installed. A shell that does not come up is
  // started once more.
  static std::unique_ptr<GnomeRig> start(const GnomeOptions& options, std::string& whyNot,
                                         bool* missing = nullptr);
  ~GnomeRig();
  GnomeRig(const GnomeRig&) = delete;
  GnomeRig& operator=(const GnomeRig&) = delete;

  // The session bus's address (DBUS_SESSION_BUS_ADDRESS).
  const std::string& sessionBus() const { return sessionBus_; }
  // The session's runtime folder: the Wayland and PipeWire sockets live there.
  const std::string& runtimeDir() const { return runtimeDir_; }
  // The compositor's socket as an absolute path (for WAYLAND_DISPLAY).
  std::string waylandDisplay() const { return runtimeDir_ + "/" + kDisplayName; }
  // What a client of the session runs with.
  std::map<std::string, std::string> environment() const;
  // Starts `argv` as the session's user with the session's environment (plus
  // `options.environment`): the shell's extension reads the /proc of such programs only.
  std::unique_ptr<testsupport::ChildProcess> spawn(
      const std::vector<std::string>& argv, testsupport::ChildProcess::Options options = {}) const;
  // The same, set in this process (tests are one process each).
  void enter() const;
  // gnome-shell's own process; -1 when unknown.
  pid_t shellPid() const { return shellPid_; }
  // The tail of gnome-shell's log, for failure messages.
  std::string shellLog() const;

  static constexpr const char* kDisplayName = "orvel-gnome-0";

 private:
  GnomeRig() = default;
  static std::unique_ptr<GnomeRig> startOnce(const GnomeOptions& options, std::string& whyNot);
  std::string runtimeDir_;
  std::string sessionBus_;
  std::string dataDirs_;
  pid_t shellPid_ = -1;
  std::unique_ptr<testsupport::ChildProcess> session_;
};

// Starts a rig as `rig` in a test; skips the test when the shell is not installed, fails it when
// the shell does not come up.
#define START_GNOME(rig, options)                                             \
  std::string whyNot;                                                         \
  bool shellMissing = false;                                                  \
  auto rig = GnomeRig::start(options, whyNot, &shellMissing);                 \
  if (!rig && shellMissing) GTEST_SKIP() << "GNOME test skipped: " << whyNot; \
  ASSERT_TRUE(rig) << whyNot

}  // namespace orvel::gnometest
