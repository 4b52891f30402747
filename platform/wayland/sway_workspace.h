// The Workspace port on sway: running applications from /proc (proc_workspace.h), the
// frontmost application and window from the focused view of the window list's cache (window
// events keep it current, so polling the focus costs no round trip while it stays put), and
// activation of a named view by its container id over sway's IPC (sway_focus.h). Window numbers
// are container ids. Main thread only.
#pragma once

#include "platform/linux/proc_workspace.h"
#include "platform/wayland/sway_focus.h"
#include "platform/wayland/sway_window_list.h"

namespace orvel::wayland {

class SwayWorkspace final : public procfs::ProcWorkspace {
 public:
  explicit SwayWorkspace(SwayWindowList& list) : focus_(list) {}

  // The named view while `pid` owns it, else the application's front-most view.
  void activate(std::int32_t pid, std::uint32_t windowID) override;
  std::optional<std::int32_t> frontmostPID() override { return focus_.frontmostPID(); }
  std::optional<std::uint32_t> frontmostWindow() override;

 private:
  SwayFocus focus_;
};

}  // namespace orvel::wayland
