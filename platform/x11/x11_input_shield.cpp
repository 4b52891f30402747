#include "platform/x11/x11_input_shield.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "platform/x11/font_cursor.h"
#include "platform/x11/x11_key_state.h"
#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

namespace {

constexpr std::uint16_t kPointerEvents =
    XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE | XCB_EVENT_MASK_POINTER_MOTION;

}  // namespace

X11InputShield::X11InputShield(const char* display)
    : display_(display ? display : ""), hasDisplay_(display != nullptr) {}

X11InputShield::~X11InputShield() {
  stopping_ = true;
  wake();
  if (thread_.joinable()) thread_.join();
  if (wakeFd_ >= 0) ::close(wakeFd_);
  cursor_ = XCursor();
}

bool X11InputShield::install(std::uint64_t eventMask, Handler handler) {
  if (connection_) return false;
  connection_ = X11Connection::open(hasDisplay_ ? display_.c_str() : nullptr);
  if (!connection_) return false;
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0) {
    connection_.reset();
    return false;
  }
  mask_ = eventMask;
  handler_ = std::move(handler);
  cursor_ = fontCursor(*connection_, FontCursor::crosshair);
  escapeKeys_ = keycodesFor(*connection_, kEscapeKeysym);
  connection_->flush();
  thread_ = std::thread([this] { run(); });
  return true;
}

void X11InputShield::setEnabled(bool enabled) {
  if (enabled) generation_.fetch_add(1);
  wanted_ = enabled;
  wake();
}

void X11InputShield::wake() {
  if (wakeFd_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] auto written = ::write(wakeFd_, &one, sizeof one);
}

bool X11InputShield::tryGrab() {
  xcb_connection_t* c = connection_->get();
  const xcb_window_t root = connection_->root();
  const Reply<xcb_grab_pointer_reply> pointer(
      *connection_,
      xcb_grab_pointer(c, 0, root, kPointerEvents, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC,
                       XCB_NONE, cursor_.id(), XCB_CURRENT_TIME));
  const Reply<xcb_grab_keyboard_reply> keyboard(
      *connection_,
      xcb_grab_keyboard(c, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  const bool pointerHeld = pointer && pointer->status == XCB_GRAB_STATUS_SUCCESS;
  const bool keyboardHeld = keyboard && keyboard->status == XCB_GRAB_STATUS_SUCCESS;
  if (pointerHeld && keyboardHeld) return true;
  // Half a shield is no shield: let go of the one we got and try both again.
  if (pointerHeld) xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
  if (keyboardHeld) xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
  connection_->flush();
  return false;
}

void X11InputShield::ungrab() {
  xcb_connection_t* c = connection_->get();
  xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
  xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
  // Round trip: once setEnabled(false) has been seen here, the server has let go.
  connection_->sync();
  grabbed_ = false;
}

void X11InputShield::run() {
  xcb_connection_t* c = connection_->get();
  std::uint64_t round = 0;  // generation of the current round of attempts
  std::uint64_t failedRound = 0;
  int attempts = 0;
  while (!stopping_ && connection_->ok()) {
    const bool wanted = wanted_;
    const std::uint64_t generation = generation_;
    bool waitingToRetry = false;
    if (wanted && !grabbed_ && generation != failedRound) {
      if (generation != round) {
        round = generation;
        attempts = 0;
      }
      if (attempts == 0) layout_ = MonitorLayout::read(*connection_);
      if (tryGrab()) {
        grabbed_ = true;
      } else if (++attempts >= kShieldGrabAttempts) {
        failedRound = generation;
        if (grabFailed_) grabFailed_();
      } else {
        waitingToRetry = true;
      }
    } else if (!wanted && grabbed_) {
      ungrab();
    }
    pollfd fds[2] = {{connection_->fd(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    const int timeout = waitingToRetry ? static_cast<int>(kShieldGrabRetryInterval.count()) : -1;
    // Events that a reply read pulled off the socket are already queued: no wait for those.
    xcb_generic_event_t* queued = xcb_poll_for_queued_event(c);
    if (!queued) ::poll(fds, 2, timeout);
    if (fds[1].revents & POLLIN) {
      std::uint64_t count;
      [[maybe_unused]] auto read = ::read(wakeFd_, &count, sizeof count);
    }
    for (xcb_generic_event_t* e = queued ? queued : xcb_poll_for_event(c); e;
         e = xcb_poll_for_event(c)) {
      XcbPtr<xcb_generic_event_t> event(e);
      // Errors (none are expected) are dropped: no X error ends the helper.
      if (event->response_type != 0) dispatch(*event);
    }
  }
  grabbed_ = false;
}

void X11InputShield::deliver(std::uint32_t type, int rootX, int rootY, std::uint16_t keyCode) {
  if (type >= 64 || !(mask_ & (std::uint64_t{1} << type)) || !handler_) return;
  platform::InputEvent event;
  event.type = type;
  event.location = layout_ ? layout_->toGlobal(rootX, rootY) : Point{double(rootX), double(rootY)};
  event.keyCode = keyCode;
  // Under an active grab nothing else receives the event, whatever the handler answers.
  handler_(event);
}

void X11InputShield::dispatch(const xcb_generic_event_t& event) {
  using namespace platform;
  switch (event.response_type & 0x7f) {
    case XCB_BUTTON_PRESS:
    case XCB_BUTTON_RELEASE: {
      const auto& e = reinterpret_cast<const xcb_button_press_event_t&>(event);
      const bool press = (event.response_type & 0x7f) == XCB_BUTTON_PRESS;
      std::uint32_t type = 0;
      if (e.detail >= 4 && e.detail <= 7) {
        // Wheel clicks come as a press and a release: one scroll event.
        if (!press) return;
        type = kScrollWheel;
      } else if (e.detail == 1) {
        type = press ? kLeftMouseDown : kLeftMouseUp;
      } else if (e.detail == 3) {
        type = press ? kRightMouseDown : kRightMouseUp;
      } else {
        type = press ? kOtherMouseDown : kOtherMouseUp;
      }
      deliver(type, e.root_x, e.root_y);
      return;
    }
    case XCB_MOTION_NOTIFY: {
      const auto& e = reinterpret_cast<const xcb_motion_notify_event_t&>(event);
      std::uint32_t type = kMouseMoved;
      if (e.state & XCB_BUTTON_MASK_1) {
        type = kLeftMouseDragged;
      } else if (e.state & XCB_BUTTON_MASK_3) {
        type = kRightMouseDragged;
      } else if (e.state & (XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_4 | XCB_BUTTON_MASK_5)) {
        type = kOtherMouseDragged;
      }
      deliver(type, e.root_x, e.root_y);
      return;
    }
    case XCB_KEY_PRESS: {
      const auto& e = reinterpret_cast<const xcb_key_press_event_t&>(event);
      const bool escape =
          std::find(escapeKeys_.begin(), escapeKeys_.end(), e.detail) != escapeKeys_.end();
      deliver(kKeyDown, e.root_x, e.root_y, escape ? kEscapeKeyCode : platform::kOtherKeyCode);
      return;
    }
    default:
      return;
  }
}

}  // namespace orvel::x11
