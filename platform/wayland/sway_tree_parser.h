// The text of sway's layout tree (the answer to get_tree) as JSON, within bounds that outside
// input cannot push memory past: nesting deeper than any real layout, or more values than the
// trees of 10,000 views hold, reject the tree while it is read, and only the members that the
// reading of views uses (sway_tree.h) are kept. Pure logic.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

#include "orvel/common/json_text.h"

namespace orvel::wayland {

inline constexpr int kSwayTreeMaxDepth = 128;
// Values kept, members left out not counted: a real tree keeps 23 a view, 230,000 for 10,000 views.
inline constexpr std::size_t kSwayTreeMaxValues = 400'000;

// Nothing when `text` is not JSON or goes past a bound.
std::optional<Json> parseSwayTree(std::string_view text);

}  // namespace orvel::wayland
