// The WindowServer port on sway: the shown views (sway_window_list.h) as window dictionaries,
// front-most first, with bounds in global display coordinates (the output layout's origin at the
// main output) including borders and title bars. Every view has the normal level 0, floating ones
// included: sway has no always-on-top views, and its bars and notifications are layer-shell
// surfaces, which its IPC does not list. Main thread only.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "orvel/common/event_loop.h"
#include "platform/wayland/output_layout.h"
#include "platform/wayland/sway_window_list.h"
#include "platform/wayland/wayland_screens.h"
#include "platform/window_levels.h"
#include "platform/window_server.h"

namespace orvel::wayland {

inline constexpr std::int64_t kSwayDockLevel = platform::kDockWindowLevel;
inline constexpr std::int64_t kSwayCursorLevel = platform::kCursorWindowLevel;
inline constexpr const char* kSwayIpcUnreachable =
    "Cannot read the window list: sway's IPC does not answer at SWAYSOCK. Start Orvel inside a "
    "sway session.";

class SwayWindowServer final : public platform::WindowServer {
 public:
  // `freshness` kAsk sees every resize and move, at one IPC round trip a read (see
  // sway_window_list.h). With `turns`, the reads made within one turn of that loop share one
  // tree: a check that looks at the list twice costs one round trip, and a later turn asks again.
  SwayWindowServer(SwayWindowList& list, WaylandScreens& screens,
                   SwayFreshness freshness = SwayFreshness::kAsk, EventLoop* turns = nullptr)
      : list_(list), screens_(screens), freshness_(freshness), turns_(turns) {}

  Json onScreenWindows() override;
  // While sway has never answered on its IPC socket (SWAYSOCK missing, not a socket, silent);
  // asks it again (at most once per retry pause), so a sway that answers later is used. A sway
  // that answered once and stalls later fails the reads instead.
  std::optional<std::string> whyUnreadable() override;
  std::int64_t cursorLevel() override { return kSwayCursorLevel; }
  std::int64_t dockLevel() override { return kSwayDockLevel; }

 private:
  std::optional<std::vector<SwayView>> views();

  SwayWindowList& list_;
  WaylandScreens& screens_;
  SwayFreshness freshness_;
  EventLoop* turns_;
  std::optional<std::vector<SwayView>> turnViews_;
  // Lets a deferred reset see whether this server still exists.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// One view as a window dictionary. Its window number is the container id, which sway keeps below
// 2^31; a view without a known owner has no owner key, so the helpers leave it out.
Json windowDictionary(const SwayView& view, const OutputLayout& layout);

}  // namespace orvel::wayland
