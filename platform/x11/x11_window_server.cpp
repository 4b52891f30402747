#include "platform/x11/x11_window_server.h"

namespace orvel::x11 {

Json windowDictionary(const WindowRecord& r, const MonitorLayout& layout) {
  // Built in place: brace lists copy every member once more, which doubled the list's cost.
  const Rect bounds = layout.toGlobal(r.frame);
  Json::object_t box;
  box.emplace("X", bounds.x);
  box.emplace("Y", bounds.y);
  box.emplace("Width", bounds.width);
  box.emplace("Height", bounds.height);
  Json::object_t w;
  w.emplace(platform::kCGWindowNumber, r.id);
  w.emplace(platform::kCGWindowBounds, std::move(box));
  w.emplace(platform::kCGWindowLayer, r.level);
  w.emplace(platform::kCGWindowAlpha, r.alpha);
  w.emplace(platform::kCGWindowIsOnscreen, true);
  w.emplace(platform::kCGWindowSharingState, 1);
  // A window whose owner cannot be told has no owner key: the helpers then leave it out.
  if (r.pid) w.emplace(platform::kCGWindowOwnerPID, *r.pid);
  if (r.name) w.emplace(platform::kCGWindowName, *r.name);
  return Json(std::move(w));
}

Json X11WindowServer::onScreenWindows() {
  if (!connection_.ok()) return Json();
  const MonitorLayout& layout = screens_.layout();
  const std::vector<WindowRecord> records = readWindowList(cache_, connection_);
  Json::array_t list;
  list.reserve(records.size());
  for (const auto& r : records)
    list.push_back(windowDictionary(r, layout));
  return Json(std::move(list));
}

}  // namespace orvel::x11
