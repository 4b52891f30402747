#include "platform/wayland/reported_window_server.h"

#include "platform/window_dictionary.h"

namespace orvel::wayland {

Json reportedWindowDictionaries(const std::vector<platform::ReportedWindow>& windows,
                                const OutputLayout& layout,
                                const std::function<std::uint32_t(const std::string&)>& numberOf) {
  Json::array_t list;
  list.reserve(windows.size());
  for (const platform::ReportedWindow& w : windows) {
    if (!w.shown || w.desktop) continue;
    list.push_back(platform::windowDictionary({.number = numberOf(w.id),
                                               .ownerPID = w.pid,
                                               .bounds = layout.toGlobal(w.frame),
                                               .level = levelOf(w),
                                               .alpha = 1.0,
                                               .name = w.caption}));
  }
  return Json(std::move(list));
}

Json ReportedWindowServer::onScreenWindows() {
  const auto& windows = list_.windows();
  if (!windows) return Json();
  return reportedWindowDictionaries(*windows, screens_.layout(),
                                    [this](const std::string& id) { return list_.numberOf(id); });
}

}  // namespace orvel::wayland
