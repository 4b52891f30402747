// The Workspace port of the desktops whose window list a compositor-side script reports
// (reported_window_list.h): running applications from /proc (proc_workspace.h), the frontmost
// application and window from the active window of the latest report, and activation of a window
// by the list's number through the list's compositor. Loop thread only.
#pragma once

#include "platform/linux/proc_workspace.h"
#include "platform/linux/reported_window_list.h"

namespace orvel::platform {

class ReportedWorkspace final : public procfs::ProcWorkspace {
 public:
  // `list` must outlive this object.
  explicit ReportedWorkspace(ReportedWindowList& list) : list_(list) {}

  // The numbered window while `pid` owns it, else the application's front-most shown window.
  void activate(std::int32_t pid, std::uint32_t windowID) override;
  std::optional<std::int32_t> frontmostPID() override;
  std::optional<std::uint32_t> frontmostWindow() override;
  // A one-shot script runs and the next report comes back: seconds under load.
  std::chrono::milliseconds activationBound() override { return std::chrono::seconds(6); }

 private:
  const ReportedWindow* active() const;
  ReportedWindowList& list_;
};

}  // namespace orvel::platform
