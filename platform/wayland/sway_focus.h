// Activation and the focused application on sway, through its IPC (sway_window_list.h). Focus
// changes come with window events, so reading the focused owner costs no round trip while the
// focus stays put.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/wayland/sway_window_list.h"

namespace orvel::wayland {

class SwayFocus {
 public:
  explicit SwayFocus(SwayWindowList& list) : list_(list) {}

  // Asks sway to focus the front-most shown view of `pid` ([con_id=N] focus), else any view of it
  // ([pid=N] focus, which also shows its workspace). False when sway has no view of it or refused.
  bool activate(std::int32_t pid);
  // Asks sway to focus view `viewID` (a container id) while `pid` still owns it, wherever it is
  // ([con_id=N pid=P] focus, which also shows its workspace); else activate(pid).
  bool activate(std::int32_t pid, std::int64_t viewID);
  // The owner of the focused view; nothing when no view has the focus (an empty workspace) or
  // sway no longer answers.
  std::optional<std::int32_t> frontmostPID();
  // The container id of the focused view; nothing as for frontmostPID().
  std::optional<std::int64_t> frontmostView();

 private:
  std::optional<SwayView> focusedView();
  SwayWindowList& list_;
};

}  // namespace orvel::wayland
