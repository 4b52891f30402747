#include "platform/x11/window_list.h"

#include <xcb/res.h>

#include <algorithm>
#include <cstring>

#include "platform/x11/utf8_text.h"
#include "platform/x11/window_properties.h"

namespace orvel::x11 {

namespace {

// The answers to everything the list reports about one window, requested without waiting.
struct DetailReplies {
  xcb_window_t window = 0;
  Reply<xcb_get_window_attributes_reply> attributes;
  Reply<xcb_get_geometry_reply> geometry;
  Reply<xcb_translate_coordinates_reply> origin;
  PropertyReply pid, netName, wmName, state, type, extents, opacity, level;
};

DetailReplies requestDetails(X11Connection& connection, xcb_window_t w) {
  xcb_connection_t* c = connection.get();
  const Atoms& a = connection.atoms();
  auto prop = [&](xcb_atom_t atom, xcb_atom_t type, std::uint32_t longs) {
    return PropertyReply(connection, xcb_get_property(c, 0, w, atom, type, 0, longs));
  };
  DetailReplies k;
  k.window = w;
  k.attributes = {connection, xcb_get_window_attributes(c, w)};
  k.geometry = {connection, xcb_get_geometry(c, w)};
  k.origin = {connection, xcb_translate_coordinates(c, w, connection.root(), 0, 0)};
  k.pid = prop(a.netWmPid, XCB_ATOM_CARDINAL, 1);
  k.netName = prop(a.netWmName, a.utf8String, 1024);
  k.wmName = prop(XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 1024);
  k.state = prop(a.netWmState, XCB_ATOM_ATOM, 64);
  k.type = prop(a.netWmWindowType, XCB_ATOM_ATOM, 64);
  k.extents = prop(a.netFrameExtents, XCB_ATOM_CARDINAL, 4);
  k.opacity = prop(a.netWmWindowOpacity, XCB_ATOM_CARDINAL, 1);
  k.level = prop(a.orvelWindowLevel, XCB_ATOM_CARDINAL, 1);
  return k;
}

void selectEvents(xcb_connection_t* c, xcb_window_t w, std::uint32_t mask) {
  xcb_change_window_attributes(c, w, XCB_CW_EVENT_MASK, &mask);
}

std::int64_t levelFor(const Atoms& a, const std::vector<xcb_atom_t>& types,
                      const std::vector<xcb_atom_t>& states, bool overrideRedirect) {
  for (xcb_atom_t t : types) {
    if (t == a.typeDock) return kDockLevel;
    if (t == a.typeNotification) return kNotificationLevel;
    if (t == a.typeMenu || t == a.typeDropdownMenu || t == a.typePopupMenu || t == a.typeTooltip ||
        t == a.typeCombo || t == a.typeDnd) {
      return kPopupLevel;
    }
  }
  if (std::find(states.begin(), states.end(), a.netWmStateAbove) != states.end()) {
    return kAboveLevel;
  }
  return overrideRedirect ? kPopupLevel : kNormalLevel;
}

// Collects the replies of requestDetails(); nothing when the window is gone or not on screen.
std::optional<WindowRecord> collectDetails(X11Connection& connection, const DetailReplies& k) {
  const Atoms& a = connection.atoms();
  const auto& [window, attributes, geometry, origin, pid, netName, wmName, state, type, extents,
               opacity, level] = k;
  if (!attributes || !geometry || !origin) return std::nullopt;
  if (attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY) return std::nullopt;
  if (attributes->map_state != XCB_MAP_STATE_VIEWABLE) return std::nullopt;
  const auto types = propertyValues<xcb_atom_t>(type.get(), 32);
  const auto states = propertyValues<xcb_atom_t>(state.get(), 32);
  if (std::find(types.begin(), types.end(), a.typeDesktop) != types.end()) return std::nullopt;
  if (std::find(states.begin(), states.end(), a.netWmStateHidden) != states.end()) {
    return std::nullopt;
  }

  WindowRecord r;
  r.id = window;
  r.overrideRedirect = attributes->override_redirect != 0;
  r.pid = pidProperty(pid.get());
  const int bw = geometry->border_width;
  int left = 0, right = 0, top = 0, bottom = 0;
  if (auto e = propertyValues<std::uint32_t>(extents.get(), 32); e.size() == 4) {
    left = static_cast<int>(e[0]);
    right = static_cast<int>(e[1]);
    top = static_cast<int>(e[2]);
    bottom = static_cast<int>(e[3]);
  }
  r.frame = {origin->dst_x - bw - left, origin->dst_y - bw - top,
             geometry->width + 2 * bw + left + right, geometry->height + 2 * bw + top + bottom};
  if (auto l = propertyValues<std::uint32_t>(level.get(), 32); !l.empty()) {
    r.level = static_cast<std::int32_t>(l[0]);
  } else {
    r.level = levelFor(a, types, states, r.overrideRedirect);
  }
  if (auto o = propertyValues<std::uint32_t>(opacity.get(), 32); !o.empty())
    r.alpha = o[0] / 4294967295.0;
  if (netName && netName->type == a.utf8String) {
    r.name = toUtf8(propertyText(netName.get()), false);
  } else if (wmName && wmName->format == 8 && wmName->type != XCB_ATOM_NONE) {
    r.name = toUtf8(propertyText(wmName.get()), wmName->type == XCB_ATOM_STRING);
  }
  return r;
}

// Owner pids from the X-Resource extension for windows that do not name their process.
void fillMissingPids(X11Connection& connection, std::vector<WindowRecord>& records) {
  if (!connection.extensions().res) return;
  xcb_connection_t* c = connection.get();
  std::vector<std::pair<std::size_t, Reply<xcb_res_query_client_ids_reply>>> replies;
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].pid) continue;
    xcb_res_client_id_spec_t query{records[i].id, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    replies.emplace_back(i, Reply<xcb_res_query_client_ids_reply>(
                                connection, xcb_res_query_client_ids(c, 1, &query)));
  }
  for (auto& [i, r] : replies) {
    if (r) records[i].pid = clientPid(*r);
  }
}

}  // namespace

bool hasEwmhWindowManager(X11Connection& connection) {
  xcb_connection_t* c = connection.get();
  const Atoms& a = connection.atoms();
  const PropertyReply r(
      connection,
      xcb_get_property(c, 0, connection.root(), a.netSupportingWmCheck, XCB_ATOM_WINDOW, 0, 1));
  auto check = propertyValues<xcb_window_t>(r.get(), 32);
  if (check.empty() || check[0] == 0) return false;
  const PropertyReply self(
      connection, xcb_get_property(c, 0, check[0], a.netSupportingWmCheck, XCB_ATOM_WINDOW, 0, 1));
  auto again = propertyValues<xcb_window_t>(self.get(), 32);
  return !again.empty() && again[0] == check[0];
}

std::vector<WindowRecord> readWindowList(X11Connection& connection, WatchChanges watch) {
  xcb_connection_t* c = connection.get();
  const Atoms& a = connection.atoms();
  const xcb_window_t root = connection.root();
  if (!connection.ok()) return {};

  // Round trip 1: the root's children, the manager's stacking list and its check window.
  const Reply<xcb_query_tree_reply> tree(connection, xcb_query_tree(c, root));
  const PropertyReply stackingReply(
      connection,
      xcb_get_property(c, 0, root, a.netClientListStacking, XCB_ATOM_WINDOW, 0, 1 << 16));
  const PropertyReply checkReply(
      connection, xcb_get_property(c, 0, root, a.netSupportingWmCheck, XCB_ATOM_WINDOW, 0, 1));
  if (!tree) return {};
  std::vector<xcb_window_t> children(
      xcb_query_tree_children(tree.get()),
      xcb_query_tree_children(tree.get()) + xcb_query_tree_children_length(tree.get()));
  std::vector<xcb_window_t> stacking = propertyValues<xcb_window_t>(stackingReply.get(), 32);
  const auto check = propertyValues<xcb_window_t>(checkReply.get(), 32);

  // Round trip 2: which root children are mapped or override-redirect; the managed clients'
  // details; whether the check window is live (a manager that died leaves its properties behind).
  const bool maybeManaged = !check.empty() && check[0] != 0 && stackingReply;
  if (watch == WatchChanges::kYes) {
    // Root children: their children's geometry (a frame's client moving inside it) and their own
    // properties (override-redirect and unmanaged windows). Managed clients: their own structure
    // and properties. The root's substructure tells the rest.
    for (xcb_window_t w : children)
      selectEvents(c, w, XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE);
    if (maybeManaged) {
      for (xcb_window_t w : stacking)
        selectEvents(c, w, XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE);
    }
  }
  std::vector<Reply<xcb_get_window_attributes_reply>> childReplies;
  childReplies.reserve(children.size());
  for (xcb_window_t w : children)
    childReplies.emplace_back(connection, xcb_get_window_attributes(c, w));
  PropertyReply checkSelf;
  std::vector<DetailReplies> clientReplies;
  if (maybeManaged) {
    checkSelf = {connection,
                 xcb_get_property(c, 0, check[0], a.netSupportingWmCheck, XCB_ATOM_WINDOW, 0, 1)};
    clientReplies.reserve(stacking.size());
    for (auto it = stacking.rbegin(); it != stacking.rend(); ++it) {
      clientReplies.push_back(requestDetails(connection, *it));
    }
  }
  struct Child {
    xcb_window_t window;
    bool overrideRedirect;
  };
  std::vector<Child> mapped;
  for (std::size_t i = 0; i < children.size(); ++i) {
    const auto& r = childReplies[i];
    if (r && r->map_state == XCB_MAP_STATE_VIEWABLE && r->_class == XCB_WINDOW_CLASS_INPUT_OUTPUT) {
      mapped.push_back({children[i], r->override_redirect != 0});
    }
  }
  bool managed = false;
  if (maybeManaged) {
    auto self = propertyValues<xcb_window_t>(checkSelf.get(), 32);
    managed = !self.empty() && self[0] == check[0];
  }
  std::vector<WindowRecord> clients;
  for (const auto& k : clientReplies) {
    if (auto r = collectDetails(connection, k)) clients.push_back(std::move(*r));
  }

  // Round trip 3: the windows among the root's children, top-most first: with a manager the
  // override-redirect ones, without one all of them.
  std::vector<DetailReplies> topReplies;
  for (auto it = mapped.rbegin(); it != mapped.rend(); ++it) {
    if (!managed || it->overrideRedirect)
      topReplies.push_back(requestDetails(connection, it->window));
  }
  std::vector<WindowRecord> out;
  out.reserve(topReplies.size() + clients.size());
  for (const auto& k : topReplies) {
    if (auto r = collectDetails(connection, k)) out.push_back(std::move(*r));
  }
  if (managed) {
    for (auto& r : clients)
      out.push_back(std::move(r));
  }
  fillMissingPids(connection, out);
  return out;
}

}  // namespace orvel::x11
