#include "rig_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "child_process.h"

namespace orvel::testsupport {

bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (condition()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

std::optional<std::string> programPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::stringstream dirs(path ? path : "/usr/bin:/bin");
  for (std::string dir; std::getline(dirs, dir, ':');) {
    std::string candidate = dir + "/" + program;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return std::nullopt;
}

bool lacksPrograms(std::initializer_list<const char*> programs, std::string& whyNot) {
  for (const char* program : programs) {
    if (!programPath(program)) {
      whyNot = std::string(program) + " is not installed (tools/install-deps installs it)";
      return true;
    }
  }
  return false;
}

bool makeRigFolder(const std::string& name, std::string& folder, std::string& whyNot) {
  std::string pattern = "/tmp/orvel-" + name + "-XXXXXX";
  if (!::mkdtemp(pattern.data())) {
    whyNot = "no temporary folder";
    return false;
  }
  ::chmod(pattern.c_str(), 0700);
  folder = pattern;
  return true;
}

void endRigSession(std::unique_ptr<ChildProcess>& session, std::chrono::milliseconds grace,
                   const std::string& folder, const std::function<void()>& overdue) {
  if (session) {
    session->closeStdin();
    if (!session->wait(grace)) {
      if (overdue) overdue();
      session->kill();
    }
    session.reset();
  }
  std::error_code ignored;
  if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
}

std::string readText(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::uint8_t> readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool handToServerUser(const std::string& path) {
  return ::geteuid() != 0 || ::chown(path.c_str(), kServerUser, kServerUser) == 0;
}

std::vector<std::string> asServerUser(std::vector<std::string> command) {
  if (::geteuid() != 0) return command;
  const std::string user = std::to_string(kServerUser);
  std::vector<std::string> out = {"setpriv", "--reuid", user, "--regid", user, "--clear-groups"};
  out.insert(out.end(), command.begin(), command.end());
  return out;
}

}  // namespace orvel::testsupport
