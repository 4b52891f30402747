// The window list that a compositor-side script reports to the scroll helper (KWin's
// window-list.js, GNOME Shell's orvel-helpers extension): one JSON text per change or request,
// {"windows":[{"id","pid","caption","x","y","width","height","stacking","active","dock",
// "desktop","notification","popup","above","shown"}, ...]}, geometry in the compositor's logical
// space. It comes from another process and is read as outside input: a window whose entry is
// malformed is left out, a text that is not such an object is refused. Pure; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvel/common/geometry.h"

namespace orvel::platform {

struct ReportedWindow {
  std::string id{};  // the compositor's own id, stable while the window lives
  std::optional<std::int32_t> pid{};
  std::string caption{};
  Rect frame{};  // the compositor's logical space, decorations included
  std::int64_t stacking = 0;
  bool active = false;
  bool dock = false;
  bool desktop = false;
  bool notification = false;
  bool popup = false;
  bool above = false;
  bool shown = true;  // on the current desktop and not minimised
  friend bool operator==(const ReportedWindow&, const ReportedWindow&) = default;
};

// Bounds what one report may hold: a flood is refused rather than kept.
inline constexpr std::size_t kMaxReportedWindows = 4096;
inline constexpr std::size_t kMaxCaptionBytes = 1024;

// Every window of the report, front-most first (highest stacking order first); nothing when the
// text is not a report.
std::optional<std::vector<ReportedWindow>> parseWindowReport(std::string_view text);

// The level of a window by the Linux rules: docks (Plasma's panel, GNOME's top bar),
// notifications, popups, windows kept above, the rest normal.
std::int64_t levelOf(const ReportedWindow& window);

}  // namespace orvel::platform
