// The part of the Workspace port that Linux desktops share: running applications read from /proc
// (application_identity.h), the bundle identifier of an application being its process's
// identifier. The desktop backends, whose windows name their owners by pid, add activation and
// the focus. One thread at a time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/application_identity.h"
#include "platform/workspace.h"

namespace orvel::procfs {

class ProcWorkspace : public platform::Workspace {
 public:
  explicit ProcWorkspace(std::string procRoot = "/proc")
      : procRoot_(procRoot), processes_(std::move(procRoot)) {}

  // Nothing when no process has that pid.
  std::optional<platform::RunningApplication> application(std::int32_t pid) final;
  // The running processes of that identifier.
  std::vector<std::int32_t> pidsWithBundleID(const std::string& bundleID) final;

 private:
  std::string procRoot_;
  ProcessIdentities processes_;
};

}  // namespace orvel::procfs
