// What /proc tells about a process: whether it runs, and a stable identifier of the program it
// runs. The identifier is the application's own id where it gives one (a Flatpak application id,
// or the desktop entry it was launched from), else the path of its executable; it does not change
// while the process lives, and another program that reuses the pid gets another one.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace orvel::procfs {

struct ProcessInfo {
  std::optional<std::string> applicationID;
  bool terminated = false;  // a zombie: it has ended, its parent has not reaped it yet
};

// Nothing when no process has that pid. `procRoot` is the proc file system's mount point.
std::optional<ProcessInfo> readProcess(pid_t pid, const std::string& procRoot = "/proc");

// readProcess() that reads a process's identifier once: while the same process holds a pid (its
// start time unchanged), only its state is read again.
class ProcessIdentities {
 public:
  explicit ProcessIdentities(std::string procRoot = "/proc") : procRoot_(std::move(procRoot)) {}
  std::optional<ProcessInfo> read(pid_t pid);

 private:
  struct Known {
    std::uint64_t startTime = 0;
    std::optional<std::string> applicationID;
  };
  std::string procRoot_;
  std::unordered_map<pid_t, Known> known_;
};

// The running processes (zombies left out) whose identifier is `applicationID`, in /proc's order.
std::vector<pid_t> pidsWithApplicationID(const std::string& applicationID,
                                         const std::string& procRoot = "/proc");

// The identifier that the environment block `environ` (NUL-separated KEY=VALUE) of process `pid`
// gives, if any.
std::optional<std::string> applicationIDFromEnvironment(const std::string& environ, pid_t pid);

}  // namespace orvel::procfs
