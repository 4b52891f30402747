#include "platform/x11/x11_connection.h"

#include <xcb/composite.h>
#include <xcb/damage.h>
#include <xcb/randr.h>
#include <xcb/render.h>
#include <xcb/res.h>
#include <xcb/shm.h>
#include <xcb/xtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

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
  std::vector<xcb_intern_atom_cookie_t> cookies;
  cookies.reserve(names.size());
  for (const auto& [name, _] : names) {
    cookies.push_back(xcb_intern_atom(c_, 0, static_cast<std::uint16_t>(std::strlen(name)), name));
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (auto r = takeReply(c_, xcb_intern_atom_reply, cookies[i])) *names[i].second = r->atom;
  }
}

void X11Connection::queryExtensions() {
  // Ask every extension at once; the version requests also announce what this client speaks,
  // which RandR and Composite require before their newer requests.
  const bool hasXTest = xcb_get_extension_data(c_, &xcb_test_id)->present;
  const bool hasShm = xcb_get_extension_data(c_, &xcb_shm_id)->present;
  const bool hasComposite = xcb_get_extension_data(c_, &xcb_composite_id)->present;
  const bool hasRender = xcb_get_extension_data(c_, &xcb_render_id)->present;
  const bool hasRandr = xcb_get_extension_data(c_, &xcb_randr_id)->present;
  const bool hasRes = xcb_get_extension_data(c_, &xcb_res_id)->present;
  const bool hasDamage = xcb_get_extension_data(c_, &xcb_damage_id)->present;
  xcb_test_get_version_cookie_t xtest{};
  xcb_shm_query_version_cookie_t shm{};
  xcb_composite_query_version_cookie_t composite{};
  xcb_render_query_version_cookie_t render{};
  xcb_randr_query_version_cookie_t randr{};
  xcb_res_query_version_cookie_t res{};
  xcb_damage_query_version_cookie_t damage{};
  if (hasXTest) xtest = xcb_test_get_version(c_, 2, 2);
  if (hasShm) shm = xcb_shm_query_version(c_);
  if (hasComposite) composite = xcb_composite_query_version(c_, 0, 4);
  if (hasRender) render = xcb_render_query_version(c_, 0, 11);
  if (hasRandr) randr = xcb_randr_query_version(c_, 1, 5);
  if (hasRes) res = xcb_res_query_version(c_, 1, 2);
  if (hasDamage) damage = xcb_damage_query_version(c_, 1, 1);
  if (hasXTest) extensions_.xtest = takeReply(c_, xcb_test_get_version_reply, xtest) != nullptr;
  if (hasShm) extensions_.shm = takeReply(c_, xcb_shm_query_version_reply, shm) != nullptr;
  if (hasComposite) {
    auto r = takeReply(c_, xcb_composite_query_version_reply, composite);
    extensions_.composite = r && (r->major_version > 0 || r->minor_version >= 2);
  }
  if (hasRender)
    extensions_.render = takeReply(c_, xcb_render_query_version_reply, render) != nullptr;
  if (hasRandr) {
    auto r = takeReply(c_, xcb_randr_query_version_reply, randr);
    extensions_.randr = r && (r->major_version > 1 || r->minor_version >= 5);
  }
  if (hasRes) {
    auto r = takeReply(c_, xcb_res_query_version_reply, res);
    extensions_.res = r && (r->server_major > 1 || r->server_minor >= 2);
  }
  if (hasDamage)
    extensions_.damage = takeReply(c_, xcb_damage_query_version_reply, damage) != nullptr;
}

}  // namespace orvel::x11
