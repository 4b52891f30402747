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

bool SwayFocus::activate(std::int32_t pid, std::int64_t viewID) {
  if (pid <= 0) return false;
  if (viewID > 0 &&
      list_.run("[con_id=" + std::to_string(viewID) + " pid=" + std::to_string(pid) + "] focus"))
    return true;
  return activate(pid);
}

std::optional<SwayView> SwayFocus::focusedView() {
  if (const auto views = list_.read())
    for (const auto& v : *views)
      if (v.focused) return v;
  return std::nullopt;
}

std::optional<std::int32_t> SwayFocus::frontmostPID() {
  if (auto view = focusedView()) return view->pid;
  return std::nullopt;
}

std::optional<std::int64_t> SwayFocus::frontmostView() {
  if (auto view = focusedView()) return view->id;
  return std::nullopt;
}

}  // namespace orvel::wayland
