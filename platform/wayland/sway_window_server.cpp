#include "platform/wayland/sway_window_server.h"

#include "platform/window_dictionary.h"

namespace orvel::wayland {

Json windowDictionary(const SwayView& view, const OutputLayout& layout) {
  return platform::windowDictionary({.number = std::uint32_t(view.id),
                                     .ownerPID = view.pid,
                                     .bounds = layout.toGlobal(view.frame),
                                     .level = 0,
                                     .alpha = 1.0,
                                     .name = view.title});
}

std::optional<std::vector<SwayView>> SwayWindowServer::views() {
  if (turnViews_) return turnViews_;
  auto views = list_.read(freshness_);
  if (views && turns_ != nullptr) {
    turnViews_ = views;
    turns_->defer([alive = std::weak_ptr<int>(alive_), this] {
      if (alive.lock()) turnViews_.reset();
    });
  }
  return views;
}

std::optional<std::string> SwayWindowServer::whyUnreadable() {
  if (list_.answered()) return std::nullopt;
  return kSwayIpcUnreachable;
}

Json SwayWindowServer::onScreenWindows() {
  const auto views = this->views();
  if (!views) return Json();
  const OutputLayout& layout = screens_.layout();
  Json::array_t list;
  list.reserve(views->size());
  for (const auto& v : *views)
    list.push_back(windowDictionary(v, layout));
  return Json(std::move(list));
}

}  // namespace orvel::wayland
