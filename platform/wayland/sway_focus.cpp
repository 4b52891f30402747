#include "platform/wayland/sway_focus.h"

#include <string>

namespace orvel::wayland {

bool SwayFocus::activate(std::int32_t pid) {
  if (pid <= 0) return false;
  if (const auto views = list_.read())
    for (const auto& v : *views)
      if (v.pid == pid) return list_.run("[con_id=" + std::to_string(v.id) + "] focus");
  return list_.run("[pid=" + std::to_string(pid) + "] focus");
}

std::optional<std::int32_t> SwayFocus::frontmostPID() {
  if (const auto views = list_.read())
    for (const auto& v : *views)
      if (v.focused) return v.pid;
  return std::nullopt;
}

}  // namespace orvel::wayland
