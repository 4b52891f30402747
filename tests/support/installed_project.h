// The project installed (cmake --install) into a temporary prefix of its own, readable by the
// display servers' unprivileged user, removed with this object: the helpers there are the ones
// that KDE Plasma's desktop entries and GNOME Shell's extension name.
#pragma once

#include <string>

namespace orvel::testsupport {

class InstalledProject {
 public:
  InstalledProject();
  ~InstalledProject();
  InstalledProject(const InstalledProject&) = delete;
  InstalledProject& operator=(const InstalledProject&) = delete;
  // Installs the build in `buildDir`; false with cmake's output in `log` when it fails.
  bool install(const std::string& buildDir, std::string& log);
  const std::string& prefix() const { return prefix_; }
  // Puts a copy of `program` at the installed helper `helper`'s path (libexec/orvel/HELPER),
  // for a test's program to stand where a helper stands; false when it cannot.
  bool replaceHelper(const std::string& helper, const std::string& program);

 private:
  std::string prefix_;
};

}  // namespace orvel::testsupport
