#include "installed_project.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "child_process.h"

namespace orvel::testsupport {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

InstalledProject::InstalledProject() {
  char pattern[] = "/tmp/orvel-prefix-XXXXXX";
  if (::mkdtemp(pattern)) prefix_ = pattern;
  ::chmod(prefix_.c_str(), 0755);
}

InstalledProject::~InstalledProject() {
  std::error_code ignored;
  if (!prefix_.empty()) fs::remove_all(prefix_, ignored);
}

bool InstalledProject::install(const std::string& buildDir, std::string& log) {
  ChildProcess::Options o;
  o.pipeStdin = false;
  auto child = ChildProcess::start({"cmake", "--install", buildDir, "--prefix", prefix_}, o);
  if (!child) return false;
  while (auto line = child->readLine(120s))
    log += *line + "\n";
  return child->wait(120s) == 0;
}

bool InstalledProject::replaceHelper(const std::string& helper, const std::string& program) {
  const fs::path path = fs::path(prefix_) / "libexec/orvel" / helper;
  std::error_code ec;
  fs::copy_file(program, path, fs::copy_options::overwrite_existing, ec);
  return !ec && ::chmod(path.c_str(), 0755) == 0;
}

}  // namespace orvel::testsupport
