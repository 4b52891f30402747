// One entry of the window list as the WindowServer port hands it over, built by the desktop
// backends from what their window system reports.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "orvel/common/geometry.h"
#include "platform/window_server.h"

namespace orvel::platform {

struct WindowEntry {
  std::uint32_t number = 0;
  std::optional<std::int32_t> ownerPID;  // none: no owner key, so the helpers leave it out
  Rect bounds;                           // global display coordinates
  std::int64_t level = 0;
  double alpha = 1.0;
  std::optional<std::string> name;
};

// Built in place: a brace list would copy every member once more.
inline Json windowDictionary(const WindowEntry& e) {
  Json::object_t box;
  box.emplace("X", e.bounds.x);
  box.emplace("Y", e.bounds.y);
  box.emplace("Width", e.bounds.width);
  box.emplace("Height", e.bounds.height);
  Json::object_t w;
  w.emplace(kCGWindowNumber, e.number);
  w.emplace(kCGWindowBounds, std::move(box));
  w.emplace(kCGWindowLayer, e.level);
  w.emplace(kCGWindowAlpha, e.alpha);
  w.emplace(kCGWindowIsOnscreen, true);
  w.emplace(kCGWindowSharingState, 1);
  if (e.ownerPID) w.emplace(kCGWindowOwnerPID, *e.ownerPID);
  if (e.name) w.emplace(kCGWindowName, *e.name);
  return Json(std::move(w));
}

}  // namespace orvel::platform
