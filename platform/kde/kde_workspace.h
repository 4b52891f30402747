// The Workspace port on KWin: running applications from /proc (proc_workspace.h), the frontmost
// application and window from the active window of the script's latest report, and activation of
// a window by the list's number through a one-shot KWin script (kwin_window_list.h). Loop thread
// only.
#pragma once

#include "platform/kde/kwin_window_list.h"
#include "platform/linux/proc_workspace.h"

namespace orvel::kde {

class KdeWorkspace final : public procfs::ProcWorkspace {
 public:
  explicit KdeWorkspace(KWinWindowList& list) : list_(list) {}

  // The numbered window while `pid` owns it, else the application's front-most shown window.
  void activate(std::int32_t pid, std::uint32_t windowID) override;
  std::optional<std::int32_t> frontmostPID() override;
  std::optional<std::uint32_t> frontmostWindow() override;

 private:
  const KWinWindow* active() const;
  KWinWindowList& list_;
};

}  // namespace orvel::kde
