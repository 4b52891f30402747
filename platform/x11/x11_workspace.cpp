#include "platform/x11/x11_workspace.h"

#include <xcb/res.h>
#include <xcb/sync.h>

#include "platform/x11/window_list.h"
#include "platform/x11/window_properties.h"

namespace orvel::x11 {

std::optional<std::int32_t> X11Workspace::pidOfWindow(xcb_window_t window, xcb_window_t* namedBy) {
  xcb_connection_t* c = connection_.get();
  const xcb_window_t root = connection_.root();
  // Walk up from `window` (the focus may sit on a child) to the first window that names its
  // process; the top-level's X-Resource client is the last resort.
  for (int depth = 0; depth < 16 && window != XCB_NONE && window != root; ++depth) {
    const PropertyReply pid(
        connection_,
        xcb_get_property(c, 0, window, connection_.atoms().netWmPid, XCB_ATOM_CARDINAL, 0, 1));
    const Reply<xcb_query_tree_reply> tree(connection_, xcb_query_tree(c, window));
    if (auto named = pidProperty(pid.get())) {
      *namedBy = window;
      return named;
    }
    if (!tree) return std::nullopt;
    if (tree->parent == root && connection_.extensions().res) {
      xcb_res_client_id_spec_t query{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
      const Reply<xcb_res_query_client_ids_reply> ids(connection_,
                                                      xcb_res_query_client_ids(c, 1, &query));
      if (!ids) return std::nullopt;
      return clientPid(*ids);
    }
    window = tree->parent;
  }
  return std::nullopt;
}

std::optional<std::int32_t> X11Workspace::frontmostPID() {
  if (!connection_.ok()) return std::nullopt;
  xcb_connection_t* c = connection_.get();
  const Atoms& a = connection_.atoms();
  // One batch: the active window, the focus, and the owner named by the window that was frontmost
  // last time, so that an unchanged answer costs one round trip.
  const PropertyReply active(
      connection_,
      xcb_get_property(c, 0, connection_.root(), a.netActiveWindow, XCB_ATOM_WINDOW, 0, 1));
  const Reply<xcb_get_input_focus_reply> focus(connection_, xcb_get_input_focus(c));
  const xcb_window_t last = lastActive_;
  PropertyReply lastPid;
  if (last != XCB_NONE)
    lastPid = {connection_, xcb_get_property(c, 0, last, a.netWmPid, XCB_ATOM_CARDINAL, 0, 1)};

  // An EWMH manager says which window is active (0: none); only without one does the focus count.
  xcb_window_t window = XCB_NONE;
  if (auto named = propertyValues<xcb_window_t>(active.get(), 32); !named.empty()) {
    window = named[0];
  } else if (focus && focus->focus != XCB_INPUT_FOCUS_POINTER_ROOT) {
    window = focus->focus;
  }
  if (window == XCB_NONE) return std::nullopt;
  if (window == last) {
    if (auto pid = pidProperty(lastPid.get())) return pid;
  }
  xcb_window_t namedBy = XCB_NONE;
  auto pid = pidOfWindow(window, &namedBy);
  lastActive_ = namedBy == window ? window : XCB_NONE;
  return pid;
}

std::optional<std::uint32_t> X11Workspace::frontmostWindow() {
  if (!connection_.ok()) return std::nullopt;
  xcb_connection_t* c = connection_.get();
  const PropertyReply active(
      connection_, xcb_get_property(c, 0, connection_.root(), connection_.atoms().netActiveWindow,
                                    XCB_ATOM_WINDOW, 0, 1));
  const Reply<xcb_get_input_focus_reply> focus(connection_, xcb_get_input_focus(c));
  if (auto named = propertyValues<xcb_window_t>(active.get(), 32); !named.empty()) {
    if (named[0] == XCB_NONE) return std::nullopt;
    return named[0];
  }
  if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT) {
    return std::nullopt;
  }
  // The focus may sit on a child: the listed window is the one that names its process.
  xcb_window_t namedBy = XCB_NONE;
  pidOfWindow(focus->focus, &namedBy);
  return namedBy != XCB_NONE ? namedBy : focus->focus;
}

xcb_timestamp_t X11Workspace::serverTime() {
  xcb_connection_t* c = connection_.get();
  if (!serverTimeLooked_) {
    serverTimeLooked_ = true;
    if (connection_.extensions().sync) {
      // The version request must come first; both go in one round trip.
      const Reply<xcb_sync_initialize_reply> init(connection_, xcb_sync_initialize(c, 3, 1));
      const Reply<xcb_sync_list_system_counters_reply> list(connection_,
                                                            xcb_sync_list_system_counters(c));
      if (init && list) serverTimeCounter_ = systemCounter(*list.get(), "SERVERTIME");
    }
  }
  if (!serverTimeCounter_) return XCB_CURRENT_TIME;
  const Reply<xcb_sync_query_counter_reply> value(connection_,
                                                  xcb_sync_query_counter(c, *serverTimeCounter_));
  // Milliseconds since the server started; event timestamps are its low 32 bits.
  return value ? value->counter_value.lo : XCB_CURRENT_TIME;
}

void X11Workspace::activate(std::int32_t pid, std::uint32_t windowID) {
  if (!connection_.ok()) return;
  // The named window when it is still this application's, else the application's front one.
  std::optional<WindowRecord> target;
  for (auto& r : readWindowList(connection_)) {
    if (r.pid != pid || r.overrideRedirect) continue;
    if (r.id == windowID) {
      target = std::move(r);
      break;
    }
    if (!target) target = std::move(r);
  }
  if (!target) return;
  xcb_connection_t* c = connection_.get();
  const xcb_timestamp_t now = serverTime();
  if (hasEwmhWindowManager(connection_)) {
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = target->id;
    event.type = connection_.atoms().netActiveWindow;
    event.data.data32[0] = 2;  // source: a pager, which managers obey without focus stealing rules
    event.data.data32[1] = now;
    xcb_send_event(c, 0, connection_.root(),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
  } else {
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, target->id, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_set_input_focus(c, XCB_INPUT_FOCUS_PARENT, target->id, now);
  }
  connection_.flush();
}

}  // namespace orvel::x11
