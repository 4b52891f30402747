#include "platform/kde/kde_window_server.h"

#include "platform/window_dictionary.h"

namespace orvel::kde {

Json kwinWindowDictionaries(const std::vector<KWinWindow>& windows,
                            const wayland::OutputLayout& layout,
                            const std::function<std::uint32_t(const std::string&)>& numberOf) {
  Json::array_t list;
  list.reserve(windows.size());
  for (const KWinWindow& w : windows) {
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

Json KdeWindowServer::onScreenWindows() {
  const auto& windows = list_.windows();
  if (!windows) return Json();
  return kwinWindowDictionaries(*windows, screens_.layout(),
                                [this](const std::string& id) { return list_.numberOf(id); });
}

std::optional<std::string> KdeWindowServer::whyUnreadable() {
  if (scriptFailure_.empty()) return std::nullopt;
  return std::string(kKWinScriptNotRun) + " (" + scriptFailure_ + ").";
}

}  // namespace orvel::kde
