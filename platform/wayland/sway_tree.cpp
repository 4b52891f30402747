#include "platform/wayland/sway_tree.h"

#include <algorithm>
#include <limits>

#include "platform/wayland/sway_tree_parser.h"

namespace orvel::wayland {

namespace {

// Deeper nesting than any real layout holds: outside input goes no further.
constexpr int kMaxDepth = kSwayTreeMaxDepth;

const Json* member(const Json& node, const char* key) {
  if (!node.is_object()) return nullptr;
  const auto it = node.find(key);
  return it == node.end() ? nullptr : &*it;
}

std::optional<std::string> stringMember(const Json& node, const char* key) {
  const Json* v = member(node, key);
  if (!v || !v->is_string()) return std::nullopt;
  return v->get<std::string>();
}

std::optional<std::int64_t> integerMember(const Json& node, const char* key) {
  const Json* v = member(node, key);
  if (!v) return std::nullopt;
  if (v->is_number_integer() && !v->is_number_unsigned()) return v->get<std::int64_t>();
  if (v->is_number_unsigned() &&
      v->get<std::uint64_t>() <= std::uint64_t(std::numeric_limits<std::int64_t>::max()))
    return std::int64_t(v->get<std::uint64_t>());
  return std::nullopt;
}

bool boolMember(const Json& node, const char* key, bool otherwise) {
  const Json* v = member(node, key);
  return v && v->is_boolean() ? v->get<bool>() : otherwise;
}

std::optional<Rect> rectMember(const Json& node, const char* key) {
  const Json* r = member(node, key);
  if (!r) return std::nullopt;
  double values[4];
  const char* names[4] = {"x", "y", "width", "height"};
  for (int i = 0; i < 4; ++i) {
    const Json* v = member(*r, names[i]);
    if (!v || !v->is_number()) return std::nullopt;
    values[i] = v->get<double>();
  }
  const Rect rect{values[0], values[1], values[2], values[3]};
  if (!rect.isFinite() || rect.width < 0 || rect.height < 0) return std::nullopt;
  return rect;
}

const Json::array_t* arrayMember(const Json& node, const char* key) {
  const Json* v = member(node, key);
  return v && v->is_array() ? &v->get_ref<const Json::array_t&>() : nullptr;
}

bool isView(const Json& node) {
  return member(node, "shell") || member(node, "pid") || member(node, "app_id") ||
         member(node, "window_properties");
}

// The children in `key`, most recently focused first: sway lists the ids of a container's
// children in its "focus" array in that order; children it does not name keep their own order.
std::vector<const Json*> childrenInFocusOrder(const Json& node, const char* key) {
  std::vector<const Json*> children;
  if (const auto* list = arrayMember(node, key))
    for (const auto& child : *list)
      children.push_back(&child);
  const auto* focus = arrayMember(node, "focus");
  if (!focus) return children;
  auto rank = [&](const Json* child) {
    const auto id = integerMember(*child, "id");
    for (std::size_t i = 0; id && i < focus->size(); ++i)
      if ((*focus)[i].is_number_integer() && (*focus)[i].get<std::int64_t>() == *id) return i;
    return focus->size();
  };
  std::stable_sort(children.begin(), children.end(),
                   [&](const Json* a, const Json* b) { return rank(a) < rank(b); });
  return children;
}

struct Buckets {
  std::vector<SwayView> fullscreen;
  std::vector<SwayView> floating;
  std::vector<SwayView> tiled;
};

struct Walk {
  std::vector<SwayView> globalFullscreen;

  // Views of `node` and below into `buckets`, front-most first within each bucket.
  void container(const Json& node, Buckets& buckets, bool floating, int fullscreenMode, int depth) {
    if (depth > kMaxDepth || !node.is_object()) return;
    const int mode = int(integerMember(node, "fullscreen_mode").value_or(0));
    if (mode == 1 || mode == 2) fullscreenMode = std::max(fullscreenMode, mode);
    if (isView(node)) {
      view(node, buckets, floating, fullscreenMode);
      return;
    }
    for (const Json* child : childrenInFocusOrder(node, "nodes"))
      container(*child, buckets, floating, fullscreenMode, depth + 1);
  }

  void view(const Json& node, Buckets& buckets, bool floating, int fullscreenMode) {
    if (!boolMember(node, "visible", true)) return;
    const auto id = integerMember(node, "id");
    const auto rect = rectMember(node, "rect");
    if (!id || !rect) return;
    SwayView v;
    v.id = *id;
    if (const auto pid = integerMember(node, "pid");
        pid && *pid > 0 && *pid <= std::numeric_limits<std::int32_t>::max())
      v.pid = std::int32_t(*pid);
    v.appID = stringMember(node, "app_id");
    if (!v.appID)
      if (const Json* props = member(node, "window_properties"))
        v.appID = stringMember(*props, "class");
    v.title = stringMember(node, "name");
    v.frame = *rect;
    // The title bar sits above the rectangle sway gives for the view.
    if (const auto deco = rectMember(node, "deco_rect"); deco && deco->height > 0)
      v.frame = Rect{rect->x, rect->y - deco->height, rect->width, rect->height + deco->height};
    v.focused = boolMember(node, "focused", false);
    v.floating = floating;
    v.fullscreen = fullscreenMode != 0;
    if (fullscreenMode == 2)
      globalFullscreen.push_back(std::move(v));
    else if (fullscreenMode == 1)
      buckets.fullscreen.push_back(std::move(v));
    else if (floating)
      buckets.floating.push_back(std::move(v));
    else
      buckets.tiled.push_back(std::move(v));
  }

  void workspace(const Json& node, std::vector<SwayView>& out) {
    Buckets buckets;
    if (const auto* floating = arrayMember(node, "floating_nodes"))
      for (auto it = floating->rbegin(); it != floating->rend(); ++it)
        container(*it, buckets, true, 0, 1);
    for (const Json* child : childrenInFocusOrder(node, "nodes"))
      container(*child, buckets, false, 0, 1);
    for (auto* bucket : {&buckets.fullscreen, &buckets.floating, &buckets.tiled})
      std::move(bucket->begin(), bucket->end(), std::back_inserter(out));
  }

  void output(const Json& node, std::vector<SwayView>& out) {
    // "__i3" holds the scratchpad, which is never shown as a workspace.
    if (stringMember(node, "name") == "__i3") return;
    const auto shown = stringMember(node, "current_workspace");
    if (!shown) return;
    const auto* workspaces = arrayMember(node, "nodes");
    if (!workspaces) return;
    for (const auto& ws : *workspaces)
      if (stringMember(ws, "type") == "workspace" && stringMember(ws, "name") == shown)
        workspace(ws, out);
  }
};

}  // namespace

std::vector<SwayView> shownViews(const Json& tree) {
  std::vector<SwayView> perOutput;
  Walk walk;
  if (const auto* outputs = arrayMember(tree, "nodes"))
    for (const auto& output : *outputs)
      if (stringMember(output, "type") == "output") walk.output(output, perOutput);
  std::vector<SwayView> views = std::move(walk.globalFullscreen);
  std::move(perOutput.begin(), perOutput.end(), std::back_inserter(views));
  return views;
}

std::optional<std::vector<SwayView>> parseShownViews(std::string_view treeText) {
  const auto tree = parseSwayTree(treeText);
  if (!tree) return std::nullopt;
  return shownViews(*tree);
}

}  // namespace orvel::wayland
