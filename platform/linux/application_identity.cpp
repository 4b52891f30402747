#include "platform/linux/application_identity.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

namespace orvel::procfs {

namespace {

// /proc files are read with read(2): a process that ends while it is read fails the read with
// ESRCH, which must read as "gone" rather than an exception out of a stream buffer. The bound is
// above any environment a process can be started with.
std::optional<std::string> readFile(const std::string& path) {
  constexpr std::size_t kMaxBytes = 16u << 20;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::string text;
  char chunk[16384];
  for (;;) {
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || text.size() + static_cast<std::size_t>(n) > kMaxBytes) {
      ::close(fd);
      if (n == 0) return text;
      return std::nullopt;
    }
    text.append(chunk, static_cast<std::size_t>(n));
  }
}

}  // namespace

std::optional<std::string> applicationIDFromEnvironment(const std::string& environ, pid_t pid) {
  std::map<std::string, std::string, std::less<>> vars;
  std::size_t pos = 0;
  while (pos < environ.size()) {
    std::size_t end = environ.find('\0', pos);
    if (end == std::string::npos) end = environ.size();
    const std::string entry = environ.substr(pos, end - pos);
    pos = end + 1;
    const std::size_t eq = entry.find('=');
    if (eq != std::string::npos) vars.emplace(entry.substr(0, eq), entry.substr(eq + 1));
  }
  // Set inside the sandbox of every Flatpak application: its reverse-DNS id.
  if (auto it = vars.find("FLATPAK_ID"); it != vars.end() && !it->second.empty()) {
    return it->second;
  }
  // Set by GIO launchers; inherited by children, so it names this process only when the launch
  // pid is this pid.
  auto file = vars.find("GIO_LAUNCHED_DESKTOP_FILE");
  auto filePid = vars.find("GIO_LAUNCHED_DESKTOP_FILE_PID");
  if (file != vars.end() && filePid != vars.end() && filePid->second == std::to_string(pid)) {
    std::string name = file->second.substr(file->second.rfind('/') + 1);
    constexpr std::string_view kSuffix = ".desktop";
    if (name.size() > kSuffix.size() && name.ends_with(kSuffix)) {
      name.resize(name.size() - kSuffix.size());
      return name;
    }
  }
  return std::nullopt;
}

namespace {

struct ProcessStat {
  bool terminated = false;
  std::uint64_t startTime = 0;
};

std::optional<ProcessStat> readStat(const std::string& dir) {
  auto text = readFile(dir + "/stat");
  if (!text) return std::nullopt;
  ProcessStat stat;
  // The state follows the command name, which may itself hold spaces and parentheses; the start
  // time is the 20th field after the name.
  const std::size_t close = text->rfind(')');
  if (close == std::string::npos || close + 2 >= text->size()) return stat;
  std::istringstream fields(text->substr(close + 2));
  std::string field;
  for (int i = 0; i < 20 && fields >> field; ++i) {
    if (i == 0) stat.terminated = field == "Z" || field == "X";
    if (i == 19) stat.startTime = std::strtoull(field.c_str(), nullptr, 10);
  }
  return stat;
}

std::optional<std::string> readApplicationID(const std::string& dir, pid_t pid) {
  std::optional<std::string> id;
  if (auto environ = readFile(dir + "/environ")) id = applicationIDFromEnvironment(*environ, pid);
  if (!id) {
    char target[PATH_MAX];
    const ssize_t n = ::readlink((dir + "/exe").c_str(), target, sizeof target - 1);
    if (n > 0) id = std::string(target, static_cast<std::size_t>(n));
  }
  return id;
}

}  // namespace

std::optional<ProcessInfo> readProcess(pid_t pid, const std::string& procRoot) {
  if (pid <= 0) return std::nullopt;
  const std::string dir = procRoot + "/" + std::to_string(pid);
  auto stat = readStat(dir);
  if (!stat) return std::nullopt;
  return ProcessInfo{readApplicationID(dir, pid), stat->terminated};
}

std::optional<ProcessInfo> ProcessIdentities::read(pid_t pid) {
  if (pid <= 0) return std::nullopt;
  const std::string dir = procRoot_ + "/" + std::to_string(pid);
  auto stat = readStat(dir);
  if (!stat) {
    known_.erase(pid);
    return std::nullopt;
  }
  auto it = known_.find(pid);
  if (it == known_.end() || it->second.startTime != stat->startTime) {
    // Ended processes' entries go in one sweep rather than growing without bound.
    if (known_.size() >= 512) known_.clear();
    it = known_.insert_or_assign(pid, Known{stat->startTime, readApplicationID(dir, pid)}).first;
  }
  return ProcessInfo{it->second.applicationID, stat->terminated};
}

std::vector<pid_t> pidsWithApplicationID(const std::string& applicationID,
                                         const std::string& procRoot) {
  std::vector<pid_t> out;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(procRoot.c_str()), ::closedir);
  if (!dir) return out;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) continue;
    const auto pid = static_cast<pid_t>(std::strtol(name.c_str(), nullptr, 10));
    auto info = readProcess(pid, procRoot);
    if (info && !info->terminated && info->applicationID == applicationID) out.push_back(pid);
  }
  return out;
}

}  // namespace orvel::procfs
