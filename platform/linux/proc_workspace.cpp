#include "platform/linux/proc_workspace.h"

namespace orvel::procfs {

std::optional<platform::RunningApplication> ProcWorkspace::application(std::int32_t pid) {
  auto info = processes_.read(pid);
  if (!info) return std::nullopt;
  return platform::RunningApplication{pid, info->applicationID, info->terminated};
}

std::vector<std::int32_t> ProcWorkspace::pidsWithBundleID(const std::string& bundleID) {
  const auto pids = pidsWithApplicationID(bundleID, procRoot_);
  return {pids.begin(), pids.end()};
}

}  // namespace orvel::procfs
