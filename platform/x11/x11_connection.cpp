#include "platform/x11/x11_connection.h"

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/randr.h>
#include <xcb/render.h>
#include <xcb/res.h>
#include <xcb/shape.h>
#include <xcb/shm.h>
#include <xcb/sync.h>
#include <xcb/xfixes.h>
#include <xcb/xtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

namespace {
// Every extension the backend uses. XCB keeps the answers: a later check never waits.
xcb_extension_t* const kExtensions[] = {
    &xcb_test_id, &xcb_shm_id,    &xcb_composite_id, &xcb_render_id, &xcb_randr_id,
    &xcb_res_id,  &xcb_damage_id, &xcb_xfixes_id,    &xcb_shape_id,  &xcb_sync_id};
}  // namespace

std::unique_ptr<X11Connection> X11Connection::open(const char* display) {
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(display, &screenNumber);
  if (!c) return nullptr;
  if (xcb_connection_has_error(c)) {
    xcb_disconnect(c);
    return nullptr;
  }
  return std::unique_ptr<X11Connection>(new X11Connection(c, screenNumber));
}

X11Connection::X11Connection(xcb_connection_t* c, int screenNumber) : c_(c) {
  auto it = xcb_setup_roots_iterator(xcb_get_setup(c_));
  for (int i = 0; i < screenNumber && it.rem; ++i)
    xcb_screen_next(&it);
  screen_ = it.data;
  // Which extensions are present is asked first and answered within the atoms' round trip.
  for (xcb_extension_t* e : kExtensions)
    xcb_prefetch_extension_data(c_, e);
  internAtoms(screenNumber);
  queryExtensions();
}

X11Connection::~X11Connection() {
  xcb_disconnect(c_);
}

void X11Connection::internAtoms(int screenNumber) {
  const std::string cmOwner = "_NET_WM_CM_S" + std::to_string(screenNumber);
  const std::vector<std::pair<const char*, xcb_atom_t*>> names = {
      {"_NET_CLIENT_LIST_STACKING", &atoms_.netClientListStacking},
      {"_NET_CLIENT_LIST", &atoms_.netClientList},
      {"_NET_SUPPORTING_WM_CHECK", &atoms_.netSupportingWmCheck},
      {"_NET_ACTIVE_WINDOW", &atoms_.netActiveWindow},
      {"_NET_WM_PID", &atoms_.netWmPid},
      {"_NET_WM_NAME", &atoms_.netWmName},
      {"UTF8_STRING", &atoms_.utf8String},
      {"WM_STATE", &atoms_.wmState},
      {"_NET_WM_STATE", &atoms_.netWmState},
      {"_NET_WM_STATE_ABOVE", &atoms_.netWmStateAbove},
      {"_NET_WM_STATE_HIDDEN", &atoms_.netWmStateHidden},
      {"_NET_WM_WINDOW_TYPE", &atoms_.netWmWindowType},
      {"_NET_WM_WINDOW_TYPE_DESKTOP", &atoms_.typeDesktop},
      {"_NET_WM_WINDOW_TYPE_DOCK", &atoms_.typeDock},
      {"_NET_WM_WINDOW_TYPE_NOTIFICATION", &atoms_.typeNotification},
      {"_NET_WM_WINDOW_TYPE_MENU", &atoms_.typeMenu},
      {"_NET_WM_WINDOW_TYPE_DROPDOWN_MENU", &atoms_.typeDropdownMenu},
      {"_NET_WM_WINDOW_TYPE_POPUP_MENU", &atoms_.typePopupMenu},
      {"_NET_WM_WINDOW_TYPE_TOOLTIP", &atoms_.typeTooltip},
      {"_NET_WM_WINDOW_TYPE_COMBO", &atoms_.typeCombo},
      {"_NET_WM_WINDOW_TYPE_DND", &atoms_.typeDnd},
      {"_NET_FRAME_EXTENTS", &atoms_.netFrameExtents},
      {"_NET_WM_WINDOW_OPACITY", &atoms_.netWmWindowOpacity},
      {cmOwner.c_str(), &atoms_.netWmCmOwner},
      {"_XROOTPMAP_ID", &atoms_.rootPixmap},
      {"_ORVEL_WINDOW_LEVEL", &atoms_.orvelWindowLevel},
  };
  std::vector<Reply<xcb_intern_atom_reply>> replies;
  replies.reserve(names.size());
  for (const auto& [name, _] : names) {
    replies.emplace_back(
        *this, xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name));
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (replies[i]) *names[i].second = replies[i]->atom;
  }
}

void X11Connection::queryExtensions() {
  // Every version asked at once. The version requests also announce what this client speaks, which
  // RandR, Composite and XFixes require before their newer requests.
  auto present = [&](xcb_extension_t& e) { return xcb_get_extension_data(c_, &e)->present != 0; };
  Reply<xcb_test_get_version_reply> xtest;
  Reply<xcb_shm_query_version_reply> shm;
  Reply<xcb_composite_query_version_reply> composite;
  Reply<xcb_render_query_version_reply> render;
  Reply<xcb_randr_query_version_reply> randr;
  Reply<xcb_res_query_version_reply> res;
  Reply<xcb_damage_query_version_reply> damage;
  Reply<xcb_xfixes_query_version_reply> xfixes;
  if (present(xcb_test_id)) xtest = {*this, xcb_test_get_version(c_, 2, 2)};
  if (present(xcb_shm_id)) shm = {*this, xcb_shm_query_version(c_)};
  if (present(xcb_composite_id)) composite = {*this, xcb_composite_query_version(c_, 0, 4)};
  if (present(xcb_render_id)) render = {*this, xcb_render_query_version(c_, 0, 11)};
  if (present(xcb_randr_id)) randr = {*this, xcb_randr_query_version(c_, 1, 5)};
  if (present(xcb_res_id)) res = {*this, xcb_res_query_version(c_, 1, 2)};
  if (present(xcb_damage_id)) damage = {*this, xcb_damage_query_version(c_, 1, 1)};
  if (present(xcb_xfixes_id)) xfixes = {*this, xcb_xfixes_query_version(c_, 2, 0)};
  extensions_.shape = present(xcb_shape_id);
  extensions_.sync = present(xcb_sync_id);
  extensions_.xtest = bool(xtest);
  extensions_.shm = bool(shm);
  extensions_.composite =
      composite && (composite->major_version > 0 || composite->minor_version >= 2);
  extensions_.render = bool(render);
  extensions_.randr = randr && (randr->major_version > 1 || randr->minor_version >= 5);
  extensions_.res = res && (res->server_major > 1 || res->server_minor >= 2);
  extensions_.damage = bool(damage);
  extensions_.xfixes = xfixes && xfixes->major_version >= 2;
}

void X11Connection::requested(unsigned sequence) {
  if (static_cast<std::int32_t>(sequence - lastRequested_) > 0) lastRequested_ = sequence;
}

void X11Connection::flush() {
  xcb_flush(c_);
  // Writing waits for the socket, and XCB reads what has arrived meanwhile.
  if (queuedEvents_) queuedEvents_();
}

void X11Connection::sync() {
  Reply<xcb_get_input_focus_reply>(*this, xcb_get_input_focus(c_)).get();
}

XcbError X11Connection::check(xcb_void_cookie_t cookie) {
  requested(cookie.sequence);
  return XcbError(
      await(cookie.sequence, [&](xcb_connection_t* c) { return xcb_request_check(c, cookie); }));
}

}  // namespace orvel::x11
