#include "platform/linux/window_report.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "orvel/common/json_text.h"
#include "platform/window_levels.h"

namespace orvel::platform {

namespace {

std::optional<double> finite(const Json& entry, const char* key) {
  const auto it = entry.find(key);
  if (it == entry.end() || !it->is_number()) return std::nullopt;
  const double v = it->get<double>();
  if (!std::isfinite(v) || std::abs(v) > 1e9) return std::nullopt;
  return v;
}

bool flag(const Json& entry, const char* key) {
  const auto it = entry.find(key);
  return it != entry.end() && it->is_boolean() && it->get<bool>();
}

std::optional<ReportedWindow> windowOf(const Json& entry) {
  if (!entry.is_object()) return std::nullopt;
  const auto id = entry.find("id");
  if (id == entry.end() || !id->is_string() || id->get_ref<const std::string&>().empty() ||
      id->get_ref<const std::string&>().size() > 64) {
    return std::nullopt;
  }
  const auto x = finite(entry, "x"), y = finite(entry, "y");
  const auto width = finite(entry, "width"), height = finite(entry, "height");
  if (!x || !y || !width || !height || *width < 0 || *height < 0) return std::nullopt;
  ReportedWindow w;
  w.id = id->get<std::string>();
  w.frame = Rect{*x, *y, *width, *height};
  // KWin reports 0, mutter -1 for a window whose owner it does not know.
  if (const auto pid = finite(entry, "pid"); pid && *pid >= 1 &&
                                             *pid <= std::numeric_limits<std::int32_t>::max() &&
                                             *pid == std::floor(*pid))
    w.pid = static_cast<std::int32_t>(*pid);
  if (const auto caption = entry.find("caption"); caption != entry.end() && caption->is_string()) {
    w.caption = caption->get<std::string>();
    if (w.caption.size() > kMaxCaptionBytes) w.caption.resize(kMaxCaptionBytes);
    // A caption cut inside a character would not encode again.
    while (!w.caption.empty() && !encodeJson(Json(w.caption)))
      w.caption.pop_back();
  }
  if (const auto stacking = finite(entry, "stacking"))
    w.stacking = static_cast<std::int64_t>(*stacking);
  w.active = flag(entry, "active");
  w.dock = flag(entry, "dock");
  w.desktop = flag(entry, "desktop");
  w.notification = flag(entry, "notification");
  w.popup = flag(entry, "popup");
  w.above = flag(entry, "above");
  const auto shown = entry.find("shown");
  w.shown = shown == entry.end() || !shown->is_boolean() || shown->get<bool>();
  return w;
}

}  // namespace

std::optional<std::vector<ReportedWindow>> parseWindowReport(std::string_view text) {
  const auto report = parseJson(text);
  if (!report || !report->is_object()) return std::nullopt;
  const auto list = report->find("windows");
  if (list == report->end() || !list->is_array() || list->size() > kMaxReportedWindows)
    return std::nullopt;
  std::vector<ReportedWindow> windows;
  windows.reserve(list->size());
  for (const Json& entry : *list)
    if (auto w = windowOf(entry)) windows.push_back(std::move(*w));
  std::stable_sort(
      windows.begin(), windows.end(),
      [](const ReportedWindow& a, const ReportedWindow& b) { return a.stacking > b.stacking; });
  return windows;
}

std::int64_t levelOf(const ReportedWindow& window) {
  if (window.popup) return kPopupWindowLevel;
  if (window.notification) return kNotificationWindowLevel;
  if (window.dock) return kDockWindowLevel;
  if (window.above) return kAboveWindowLevel;
  return kNormalWindowLevel;
}

}  // namespace orvel::platform
