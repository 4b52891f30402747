#include "platform/linux/reported_workspace.h"

namespace orvel::platform {

const ReportedWindow* ReportedWorkspace::active() const {
  if (!list_.windows()) return nullptr;
  for (const ReportedWindow& w : *list_.windows())
    if (w.active) return &w;
  return nullptr;
}

void ReportedWorkspace::activate(std::int32_t pid, std::uint32_t windowID) {
  if (const ReportedWindow* named = list_.findNumber(windowID); named && named->pid == pid)
    return list_.activate(named->id);
  if (!list_.windows()) return;
  for (const ReportedWindow& w : *list_.windows()) {
    if (w.pid == pid && w.shown && !w.desktop && !w.dock) return list_.activate(w.id);
  }
}

std::optional<std::int32_t> ReportedWorkspace::frontmostPID() {
  const ReportedWindow* w = active();
  return w ? w->pid : std::nullopt;
}

std::optional<std::uint32_t> ReportedWorkspace::frontmostWindow() {
  const ReportedWindow* w = active();
  if (!w) return std::nullopt;
  return list_.numberOf(w->id);
}

}  // namespace orvel::platform
