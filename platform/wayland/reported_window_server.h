// The WindowServer port of the Wayland desktops whose window list a compositor-side script reports
// (KWin's script, GNOME Shell's extension; platform/linux/reported_window_list.h): the windows of
// the latest report that are shown on the current desktop, without desktop windows, front-most
// first, as window dictionaries in global display coordinates (the compositor's logical space
// moved to the main output's origin), decorations included, with the levels of the Linux rules
// (panels and top bars are docks). Before the first report the list is unreadable, and the list
// says why when no report can come. Loop thread only.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/reported_window_list.h"
#include "platform/wayland/output_layout.h"
#include "platform/wayland/wayland_screens.h"
#include "platform/window_levels.h"
#include "platform/window_server.h"

namespace orvel::wayland {

// The dictionaries of `windows` (a report, front-most first) as the port hands them over;
// `numberOf` gives each window's number.
Json reportedWindowDictionaries(const std::vector<platform::ReportedWindow>& windows,
                                const OutputLayout& layout,
                                const std::function<std::uint32_t(const std::string&)>& numberOf);

class ReportedWindowServer final : public platform::WindowServer {
 public:
  // Both must outlive this object.
  ReportedWindowServer(platform::ReportedWindowList& list, WaylandScreens& screens)
      : list_(list), screens_(screens) {}

  Json onScreenWindows() override;
  std::optional<std::string> whyUnreadable() override { return list_.whyUnreadable(); }
  std::int64_t cursorLevel() override { return platform::kCursorWindowLevel; }
  std::int64_t dockLevel() override { return platform::kDockWindowLevel; }

 private:
  platform::ReportedWindowList& list_;
  WaylandScreens& screens_;
};

}  // namespace orvel::wayland
