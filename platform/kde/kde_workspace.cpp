#include "platform/kde/kde_workspace.h"

namespace orvel::kde {

const KWinWindow* KdeWorkspace::active() const {
  if (!list_.windows()) return nullptr;
  for (const KWinWindow& w : *list_.windows())
    if (w.active) return &w;
  return nullptr;
}

void KdeWorkspace::activate(std::int32_t pid, std::uint32_t windowID) {
  if (const KWinWindow* named = list_.findNumber(windowID); named && named->pid == pid)
    return list_.activate(named->id);
  if (!list_.windows()) return;
  for (const KWinWindow& w : *list_.windows()) {
    if (w.pid == pid && w.shown && !w.desktop && !w.dock) return list_.activate(w.id);
  }
}

std::optional<std::int32_t> KdeWorkspace::frontmostPID() {
  const KWinWindow* w = active();
  return w ? w->pid : std::nullopt;
}

std::optional<std::uint32_t> KdeWorkspace::frontmostWindow() {
  const KWinWindow* w = active();
  if (!w) return std::nullopt;
  return list_.numberOf(w->id);
}

}  // namespace orvel::kde
