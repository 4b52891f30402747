#include "platform/x11/window_list_cache.h"

#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

bool changesWindowList(const xcb_generic_event_t& event, const Atoms& a) {
  switch (event.response_type & 0x7f) {
    case XCB_CREATE_NOTIFY:
    case XCB_DESTROY_NOTIFY:
    case XCB_MAP_NOTIFY:
    case XCB_UNMAP_NOTIFY:
    case XCB_REPARENT_NOTIFY:
    case XCB_CONFIGURE_NOTIFY:
    case XCB_GRAVITY_NOTIFY:
    case XCB_CIRCULATE_NOTIFY:
      return true;
    case XCB_PROPERTY_NOTIFY: {
      const xcb_atom_t atom = reinterpret_cast<const xcb_property_notify_event_t&>(event).atom;
      for (xcb_atom_t read :
           {a.netClientListStacking, a.netSupportingWmCheck, a.netWmPid, a.netWmName,
            xcb_atom_t{XCB_ATOM_WM_NAME}, a.netWmState, a.netWmWindowType, a.netFrameExtents,
            a.netWmWindowOpacity, a.orvelWindowLevel}) {
        if (atom == read) return true;
      }
      return false;
    }
    default:
      // Errors (a window gone before its events were selected) and anything else: the events
      // above report what the error was about.
      return false;
  }
}

std::unique_ptr<WindowListCache> WindowListCache::open(const char* display) {
  auto connection = X11Connection::open(display);
  if (!connection) return nullptr;
  return std::unique_ptr<WindowListCache>(new WindowListCache(std::move(connection)));
}

WindowListCache::WindowListCache(std::unique_ptr<X11Connection> connection)
    : connection_(std::move(connection)) {
  const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE;
  xcb_change_window_attributes(connection_->get(), connection_->root(), XCB_CW_EVENT_MASK, &mask);
  connection_->flush();
}

std::optional<std::vector<WindowRecord>> WindowListCache::read() {
  std::lock_guard lock(mutex_);
  if (!connection_->ok()) return std::nullopt;
  // The reply comes after every event generated before the request.
  connection_->sync();
  drainLocked();
  if (stale_) {
    stale_ = false;
    records_ = readWindowList(*connection_, WatchChanges::kYes);
    ++fullReads_;
    // A change made while the list was being read makes the next read a full one.
    drainLocked();
  }
  if (!connection_->ok()) return std::nullopt;
  return records_;
}

void WindowListCache::drainEvents() {
  std::lock_guard lock(mutex_);
  drainLocked();
}

void WindowListCache::drainLocked() {
  while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_->get())) {
    XcbPtr<xcb_generic_event_t> event(raw);
    if (changesWindowList(*event, connection_->atoms())) stale_ = true;
  }
}

std::vector<WindowRecord> readWindowList(WindowListCache* cache, X11Connection& connection) {
  if (cache) {
    if (auto records = cache->read()) return std::move(*records);
  }
  return readWindowList(connection);
}

std::uint64_t WindowListCache::fullReads() {
  std::lock_guard lock(mutex_);
  return fullReads_;
}

}  // namespace orvel::x11
