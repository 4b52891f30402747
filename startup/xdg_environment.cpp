#include "startup/xdg_environment.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <vector>

namespace orvel::startup {
namespace {

constexpr std::string_view kDeletedSuffix = " (deleted)";

bool isAbsolute(const char* path) {
  return path != nullptr && path[0] == '/';
}

bool isRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::optional<std::string> readLink(const char* link) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t length = readlink(link, buffer.data(), buffer.size());
    if (length < 0) return std::nullopt;
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return std::string(buffer.data(), static_cast<std::size_t>(length));
    }
    buffer.resize(buffer.size() * 2);
  }
}

// The home folder from the password database, for a process started without HOME.
std::optional<std::string> passwordHome() {
  long size = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
    return std::nullopt;
  }
  return std::string(found->pw_dir);
}

}  // namespace

XdgEnvironment XdgEnvironment::ofThisProcess() {
  XdgEnvironment environment;
  if (const auto link = readLink("/proc/self/exe")) {
    environment.executable = executableFromLink(*link);
  }
  const char* home = std::getenv("HOME");
  std::optional<std::string> fallbackHome;
  if (!isAbsolute(home)) {
    fallbackHome = passwordHome();
    home = fallbackHome ? fallbackHome->c_str() : nullptr;
  }
  environment.configHome = configHomeFrom(std::getenv("XDG_CONFIG_HOME"), home);
  if (const char* desktop = std::getenv("XDG_CURRENT_DESKTOP")) {
    environment.currentDesktop = desktop;
  }
  return environment;
}

std::optional<std::filesystem::path> XdgEnvironment::executableFromLink(const std::string& link) {
  if (!link.starts_with('/')) return std::nullopt;
  if (isRegularFile(link)) return link;
  if (link.ends_with(kDeletedSuffix)) {
    const std::string replacement = link.substr(0, link.size() - kDeletedSuffix.size());
    if (isRegularFile(replacement)) return replacement;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> XdgEnvironment::configHomeFrom(const char* xdgConfigHome,
                                                                    const char* home) {
  if (isAbsolute(xdgConfigHome)) return std::filesystem::path(xdgConfigHome);
  if (isAbsolute(home)) return std::filesystem::path(home) / ".config";
  return std::nullopt;
}

}  // namespace orvel::startup
