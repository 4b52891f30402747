#include "platform/x11/x11_window_server.h"

namespace orvel::x11 {

Json windowDictionary(const WindowRecord& r, const MonitorLayout& layout) {
  const Rect bounds = layout.toGlobal(r.frame);
  Json w = {
      {platform::kCGWindowNumber, r.id},
      {platform::kCGWindowBounds,
       {{"X", bounds.x}, {"Y", bounds.y}, {"Width", bounds.width}, {"Height", bounds.height}}},
      {platform::kCGWindowLayer, r.level},
      {platform::kCGWindowAlpha, r.alpha},
      {platform::kCGWindowIsOnscreen, true},
      {platform::kCGWindowSharingState, 1},
  };
  // A window whose owner cannot be told has no owner key: the helpers then leave it out.
  if (r.pid) w[platform::kCGWindowOwnerPID] = *r.pid;
  if (r.name) w[platform::kCGWindowName] = *r.name;
  return w;
}

Json X11WindowServer::onScreenWindows() {
  if (!connection_.ok()) return Json();
  const MonitorLayout& layout = screens_.layout();
  Json list = Json::array();
  std::optional<std::vector<WindowRecord>> records;
  if (cache_) records = cache_->read();
  if (!records) records = readWindowList(connection_);
  for (const auto& r : *records)
    list.push_back(windowDictionary(r, layout));
  return list;
}

}  // namespace orvel::x11
