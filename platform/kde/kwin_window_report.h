// The window list KWin's script (share/window-list.js) sends the scroll helper: one JSON text per
// change, {"windows":[{"id","pid","caption","x","y","width","height","stacking","active","dock",
// "desktop","notification","popup","above","shown"}, ...]}, geometry in KWin's logical space. It
// comes from another process and is read as outside input: a window whose entry is malformed is
// left out, a text that is not such an object is refused. Pure; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvel/common/geometry.h"

namespace orvel::kde {

struct KWinWindow {
  std::string id{};  // KWin's internalId, stable while the window lives
  std::optional<std::int32_t> pid{};
  std::string caption{};
  Rect frame{};  // KWin's logical space, decorations included
  std::int64_t stacking = 0;
  bool active = false;
  bool dock = false;
  bool desktop = false;
  bool notification = false;
  bool popup = false;
  bool above = false;
  bool shown = true;  // on the current desktop and not minimised
  friend bool operator==(const KWinWindow&, const KWinWindow&) = default;
};

// Bounds what one report may hold: a flood is refused rather than kept.
inline constexpr std::size_t kMaxReportedWindows = 4096;
inline constexpr std::size_t kMaxCaptionBytes = 1024;

// Every window of the report, front-most first (highest stacking order first); nothing when the
// text is not a report.
std::optional<std::vector<KWinWindow>> parseWindowReport(std::string_view text);

// The level of a window by the Linux rules: docks (Plasma's panel), notifications, popups, windows
// kept above, the rest normal.
std::int64_t levelOf(const KWinWindow& window);

}  // namespace orvel::kde
