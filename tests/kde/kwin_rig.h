// The KDE test desktop: a headless KWin (virtual backend, two outputs side by side at one scale)
// in a D-Bus session of its own, with a private system bus, run as the unprivileged user 65534
// with a runtime folder of its own. KWin's binary carries a file capability that a container
// cannot grant, so the rig runs a copy of it (copying drops the capability). KWin hands restricted
// D-Bus interfaces and Wayland globals only to programs named by a desktop entry that its service
// cache knew before it started: the entries the test asks for are written first, the data folders
// it names come first in XDG_DATA_DIRS, and the cache is rebuilt before KWin starts. Programs that
// talk to KWin run as its user (KWin reads the caller's /proc/PID/exe). Everything it starts is
// stopped when it goes away, by pid, also when the test process dies first (the session's shell
// waits on our pipe).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "installed_project.h"

namespace orvel::kdetest {

using testsupport::ChildProcess;

// A desktop entry that authorises one program, as KWin reads them.
struct DesktopEntry {
  std::string id;                              // file name without ".desktop"
  std::string exec;                            // the program's absolute path
  std::vector<std::string> dbusInterfaces;     // X-KDE-DBUS-Restricted-Interfaces
  std::vector<std::string> waylandInterfaces;  // X-KDE-Wayland-Interfaces
};

// The entry's text.
std::string desktopEntryText(const DesktopEntry& entry);

struct KWinOptions {
  int width = 1280;  // of each output, pixels
  int height = 800;
  int outputs = 2;
  // Of every output, fractional ones included; an output's size in points is its pixels over it.
  double scale = 1;
  // Data folders (an install prefix's share) searched before the rig's own and the system's.
  std::vector<std::string> dataDirs;
  // Entries written into the rig's own data folder before KWin starts.
  std::vector<DesktopEntry> entries;
};

class KWinRig {
 public:
  // Nothing, with the reason in `whyNot`, when KWin cannot start; `missing` tells that a program
  // it needs is not installed.
  static std::unique_ptr<KWinRig> start(const KWinOptions& options, std::string& whyNot,
                                        bool& missing);
  ~KWinRig();
  KWinRig(const KWinRig&) = delete;
  KWinRig& operator=(const KWinRig&) = delete;

  // The variables a client of this KWin runs with: WAYLAND_DISPLAY, DBUS_SESSION_BUS_ADDRESS,
  // XDG_RUNTIME_DIR, XDG_DATA_DIRS, HOME, the KDE session variables; DISPLAY empty.
  std::map<std::string, std::string> environment() const;
  // Starts `argv` as KWin's user with the rig's environment (plus `options.environment`).
  std::unique_ptr<ChildProcess> spawn(const std::vector<std::string>& argv,
                                      ChildProcess::Options options = {}) const;
  // Runs `argv` like spawn; its exit status (-1: did not end within `timeout`), its output in
  // `out`.
  int run(const std::vector<std::string>& argv, std::string* out = nullptr,
          std::chrono::milliseconds timeout = std::chrono::seconds(20)) const;
  // Copies a program into the rig's folder under `name`, runnable by KWin's user; its path. The
  // copy is a program no desktop entry names.
  std::string copyProgram(const std::string& path, const std::string& name) const;

  // Reads a D-Bus property of KWin's as type and value ("uint32 4"); empty when it does not answer.
  std::string kwinProperty(const std::string& path, const std::string& interface,
                           const std::string& property) const;

  const std::string& runtimeDir() const { return runtimeDir_; }
  pid_t compositorPid() const { return compositorPid_; }
  // Stops KWin at once (for tests of a lost compositor); the session ends with it.
  void killCompositor();
  // The pids of the processes the rig started itself (KWin and the private system bus).
  std::vector<pid_t> ownPids() const { return {compositorPid_, systemBusPid_}; }

 private:
  KWinRig() = default;
  std::string runtimeDir_;
  std::string dataDirs_;
  std::string sessionBus_;
  std::unique_ptr<ChildProcess> shell_;
  pid_t compositorPid_ = -1;
  pid_t systemBusPid_ = -1;
};

using testsupport::InstalledProject;

// Starts a rig as `rig` in a test; skips the test when KWin is not installed, fails it when KWin
// does not come up.
#define START_KWIN(rig, options)                                           \
  std::string whyNot;                                                      \
  bool kwinMissing = false;                                                \
  auto rig = KWinRig::start(options, whyNot, kwinMissing);                 \
  if (!rig && kwinMissing) GTEST_SKIP() << "KDE test skipped: " << whyNot; \
  ASSERT_TRUE(rig) << whyNot

}  // namespace orvel::kdetest
