// The WindowServer port on KWin: the windows of the script's latest report (kwin_window_list.h)
// that are shown on the current desktop, without desktop windows, front-most first, as window
// dictionaries in global display coordinates (KWin's logical space moved to the main output's
// origin), decorations included, with the levels of the Linux rules (Plasma's panel is a dock).
// Before the first report the list is unreadable. Loop thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/kde/kwin_window_list.h"
#include "platform/wayland/output_layout.h"
#include "platform/wayland/wayland_screens.h"
#include "platform/window_levels.h"
#include "platform/window_server.h"

namespace orvel::kde {

inline constexpr const char* kKWinScriptNotRun =
    "Cannot read the window list: KWin did not run Orvel's window list script";

// The dictionaries of `windows` (a report, front-most first) as the port hands them over;
// `numberOf` gives each window's number.
Json kwinWindowDictionaries(const std::vector<KWinWindow>& windows,
                            const wayland::OutputLayout& layout,
                            const std::function<std::uint32_t(const std::string&)>& numberOf);

class KdeWindowServer final : public platform::WindowServer {
 public:
  // Both must outlive this object.
  KdeWindowServer(KWinWindowList& list, wayland::WaylandScreens& screens)
      : list_(list), screens_(screens) {}

  Json onScreenWindows() override;
  std::optional<std::string> whyUnreadable() override;
  std::int64_t cursorLevel() override { return platform::kCursorWindowLevel; }
  std::int64_t dockLevel() override { return platform::kDockWindowLevel; }
  // Records why the script could not be run, for whyUnreadable().
  void scriptFailed(const std::string& why) { scriptFailure_ = why; }

 private:
  KWinWindowList& list_;
  wayland::WaylandScreens& screens_;
  std::string scriptFailure_;
};

}  // namespace orvel::kde
