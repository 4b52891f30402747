// The views of a sway layout tree (the answer to get_tree), front-most first. Pure logic.
//
// Only views that are shown are listed: those of the workspace each output currently shows, not
// hidden behind a sibling tab or a fullscreen view, and not in the scratchpad. Order: a view
// fullscreen over every output, then per shown workspace its fullscreen view, its floating
// containers from the top of their stacking order (sway raises a floating container by moving it
// to the end of the workspace's floating list), then its tiled views; within each container the
// children come in the container's focus order (most recently focused first).
//
// Frames are in the compositor's layout coordinates (logical pixels, y down) and hold the view's
// borders and its title bar.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "orvel/common/geometry.h"
#include "orvel/common/json_text.h"

namespace orvel::wayland {

struct SwayView {
  std::int64_t id = 0;  // the container id, as [con_id=N] criteria name it
  std::optional<std::int32_t> pid;
  std::optional<std::string> appID;  // the xdg app_id, or the X11 class of an Xwayland view
  std::optional<std::string> title;
  Rect frame;
  bool focused = false;
  bool floating = false;
  bool fullscreen = false;
  friend bool operator==(const SwayView&, const SwayView&) = default;
};

// Never throws: nodes that lack what a view needs (an id, a rectangle) are left out, and a tree
// that is not an object gives no views.
std::vector<SwayView> shownViews(const Json& tree);

// The same from the text of the answer; nothing when it is not JSON or passes the bounds of
// sway_tree_parser.h.
std::optional<std::vector<SwayView>> parseShownViews(std::string_view treeText);

}  // namespace orvel::wayland
