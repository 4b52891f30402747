// One connection to the X server with what every backend class needs from it: the default screen,
// the atoms interned once, and which extensions answered. XCB is safe to use from several threads,
// but the classes that share a connection expect one thread (see each class); background capture
// opens a connection of its own.
#pragma once

#include <xcb/xcb.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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

  // Called by code that has just waited for replies: reading a reply can also read events into
  // XCB's queue, where a poll() on the socket no longer sees them. The hook lets the owner of the
  // event loop drain that queue. Also counts round trips, for tests and benchmarks.
  void noteRoundTrip() {
    roundTrips_.fetch_add(1, std::memory_order_relaxed);
    if (onRoundTrip_) onRoundTrip_();
  }
  std::uint64_t roundTrips() const { return roundTrips_.load(std::memory_order_relaxed); }
  void setRoundTripHook(std::function<void()> hook) { onRoundTrip_ = std::move(hook); }

  std::uint32_t generateId() const { return xcb_generate_id(c_); }

 private:
  X11Connection(xcb_connection_t* c, int screenNumber);
  void internAtoms(int screenNumber);
  void queryExtensions();

  xcb_connection_t* c_;
  xcb_screen_t* screen_ = nullptr;
  Atoms atoms_;
  Extensions extensions_;
  std::atomic<std::uint64_t> roundTrips_{0};
  std::function<void()> onRoundTrip_;
};

}  // namespace orvel::x11
