#include "platform/x11/x11_window_server.h"

#include "platform/window_dictionary.h"

namespace orvel::x11 {

Json windowDictionary(WindowRecord r, const MonitorLayout& layout) {
  return platform::windowDictionary({.number = r.id,
                                     .ownerPID = r.pid,
                                     .bounds = layout.toGlobal(r.frame),
                                     .level = r.level,
                                     .alpha = r.alpha,
                                     .name = std::move(r.name)});
}

Json X11WindowServer::onScreenWindows() {
  if (!connection_.ok()) return Json();
  const MonitorLayout& layout = screens_.layout();
  std::vector<WindowRecord> records = readWindowList(cache_, connection_);
  Json::array_t list;
  list.reserve(records.size());
  for (auto& r : records)
    list.push_back(windowDictionary(std::move(r), layout));
  return Json(std::move(list));
}

}  // namespace orvel::x11
