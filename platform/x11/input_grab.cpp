#include "platform/x11/input_grab.h"

#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

void InputGrab::acquire(xcb_window_t window, xcb_cursor_t cursor) {
  if (window_ != window) {
    // The grabs move to the new window; a grab is per client, so re-grabbing replaces it.
    pointer_ = keyboard_ = false;
  }
  window_ = window;
  cursor_ = cursor;
  attempts_ = 0;
  if (retry_) loop_.cancelTimer(retry_);
  retry_ = 0;
  attempt();
}

void InputGrab::attempt() {
  retry_ = 0;
  if (!window_ || !connection_.ok()) return;
  xcb_connection_t* c = connection_.get();
  Reply<xcb_grab_pointer_reply> pointer;
  Reply<xcb_grab_keyboard_reply> keyboard;
  if (!pointer_) {
    pointer = {connection_,
               xcb_grab_pointer(c, 1, window_,
                                XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                    XCB_EVENT_MASK_POINTER_MOTION,
                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE, cursor_,
                                XCB_CURRENT_TIME)};
  }
  if (!keyboard_) {
    keyboard = {connection_, xcb_grab_keyboard(c, 1, window_, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC,
                                               XCB_GRAB_MODE_ASYNC)};
  }
  if (!pointer_) pointer_ = pointer && pointer->status == XCB_GRAB_STATUS_SUCCESS;
  if (!keyboard_) keyboard_ = keyboard && keyboard->status == XCB_GRAB_STATUS_SUCCESS;
  if ((!pointer_ || !keyboard_) && ++attempts_ < kGrabRetryAttempts) {
    retry_ = loop_.addTimer(kGrabRetryInterval, [this] { attempt(); });
  }
}

void InputGrab::release() {
  if (retry_) loop_.cancelTimer(retry_);
  retry_ = 0;
  if (window_ && connection_.ok()) {
    if (pointer_) xcb_ungrab_pointer(connection_.get(), XCB_CURRENT_TIME);
    if (keyboard_) xcb_ungrab_keyboard(connection_.get(), XCB_CURRENT_TIME);
    connection_.flush();
  }
  pointer_ = keyboard_ = false;
  window_ = 0;
}

void InputGrab::setCursor(xcb_cursor_t cursor) {
  cursor_ = cursor;
  if (pointer_ && connection_.ok()) {
    xcb_change_active_pointer_grab(connection_.get(), cursor, XCB_CURRENT_TIME,
                                   XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                       XCB_EVENT_MASK_POINTER_MOTION);
    connection_.flush();
  }
}

}  // namespace orvel::x11
