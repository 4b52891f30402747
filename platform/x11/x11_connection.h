// One connection to the X server with what every backend class needs from it: the default screen,
// the atoms interned once, and which extensions answered. XCB is safe to use from several threads,
// but the classes that share a connection expect one thread (see each class); background capture
// opens a connection of its own.
//
// Everything that may read the socket goes through this class: replies (Reply, x11_reply.h),
// check(), sync() and flush(). Any of them can read events into XCB's queue, where a poll() on
// fd() no longer sees them, so each ends by calling the queued-events hook, with which the owner of
// the event loop drains that queue. The same path counts round trips. It is not locked: the one
// thread that uses a connection at a time (see each class) owns that accounting too.
#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/x11/xcb_handles.h"

namespace orvel::x11 {

struct Atoms {
  xcb_atom_t netClientListStacking = 0;
  xcb_atom_t netClientList = 0;
  xcb_atom_t netSupportingWmCheck = 0;
  xcb_atom_t netActiveWindow = 0;
  xcb_atom_t netWmPid = 0;
  xcb_atom_t netWmName = 0;
  xcb_atom_t utf8String = 0;
  xcb_atom_t wmState = 0;
  xcb_atom_t netWmState = 0;
  xcb_atom_t netWmStateAbove = 0;
  xcb_atom_t netWmStateHidden = 0;
  xcb_atom_t netWmWindowType = 0;
  xcb_atom_t typeDesktop = 0;
  xcb_atom_t typeDock = 0;
  xcb_atom_t typeNotification = 0;
  xcb_atom_t typeMenu = 0;
  xcb_atom_t typeDropdownMenu = 0;
  xcb_atom_t typePopupMenu = 0;
  xcb_atom_t typeTooltip = 0;
  xcb_atom_t typeCombo = 0;
  xcb_atom_t typeDnd = 0;
  xcb_atom_t netFrameExtents = 0;
  xcb_atom_t netWmWindowOpacity = 0;
  xcb_atom_t netWmCmOwner = 0;  // _NET_WM_CM_Sn of the default screen
  xcb_atom_t rootPixmap = 0;    // _XROOTPMAP_ID
  // Level of the helpers' own overlay windows, set by the overlay so the window list can tell them.
  xcb_atom_t orvelWindowLevel = 0;
};

struct Extensions {
  bool xtest = false;
  bool shm = false;
  bool composite = false;  // 0.2 or later (NameWindowPixmap)
  bool render = false;
  bool randr = false;  // 1.5 or later (monitors)
  bool res = false;    // 1.2 or later (client ids)
  bool damage = false;
  bool xfixes = false;  // 2.0 or later (window shape regions)
  bool shape = false;
  bool sync = false;  // present: its version is announced by the one user, with its first request
};

class X11Connection {
 public:
  // Connects to `display` (null: $DISPLAY). Null when no server answers.
  static std::unique_ptr<X11Connection> open(const char* display = nullptr);
  ~X11Connection();
  X11Connection(const X11Connection&) = delete;
  X11Connection& operator=(const X11Connection&) = delete;

  xcb_connection_t* get() const { return c_; }
  xcb_screen_t* screen() const { return screen_; }
  xcb_window_t root() const { return screen_->root; }
  const Atoms& atoms() const { return atoms_; }
  const Extensions& extensions() const { return extensions_; }
  int fd() const { return xcb_get_file_descriptor(c_); }
  // False once the server has gone away or the stream broke.
  bool ok() const { return xcb_connection_has_error(c_) == 0; }

  // Sends the requests buffered so far.
  void flush();
  // One round trip: returns once the server has handled every request sent before.
  void sync();
  // Waits for the outcome of a checked request without a reply: its error, or null on success.
  XcbError check(xcb_void_cookie_t cookie);

  // Round trips waited for so far: requests sent before their first reply is awaited share one.
  // For tests and benchmarks; any thread.
  std::uint64_t roundTrips() const { return roundTrips_.load(std::memory_order_relaxed); }
  // Called after each wait for the server and each flush, on the thread that made it.
  void setQueuedEventsHook(std::function<void()> hook) { queuedEvents_ = std::move(hook); }

  std::uint32_t generateId() const { return xcb_generate_id(c_); }

 private:
  X11Connection(xcb_connection_t* c, int screenNumber);
  void internAtoms(int screenNumber);
  void queryExtensions();

  template <auto>
  friend class Reply;
  // A request whose answer will be awaited went out as `sequence`.
  void requested(unsigned sequence);
  // Waits for the answer to request `sequence` with `wait(c_)` and returns what it returns. The
  // first wait for a request sent after the last counted round trip counts one more: everything
  // sent by then goes out with it and is answered in the same trip.
  template <class Wait>
  auto await(unsigned sequence, Wait&& wait) {
    if (static_cast<std::int32_t>(sequence - answeredWith_) > 0) {
      roundTrips_.fetch_add(1, std::memory_order_relaxed);
      answeredWith_ = lastRequested_;
      xcb_flush(c_);
    }
    auto result = wait(c_);
    if (queuedEvents_) queuedEvents_();
    return result;
  }

  xcb_connection_t* c_;
  xcb_screen_t* screen_ = nullptr;
  Atoms atoms_;
  Extensions extensions_;
  std::atomic<std::uint64_t> roundTrips_{0};
  // Sequence numbers (they wrap: compared by their difference).
  unsigned lastRequested_ = 0;
  unsigned answeredWith_ = 0;
  std::function<void()> queuedEvents_;
};

}  // namespace orvel::x11
