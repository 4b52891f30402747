#include "platform/x11/x11_overlay.h"

#include <algorithm>

#include "platform/x11/font_cursor.h"
#include "platform/x11/x11_key_state.h"
#include "platform/x11/x11_overlay_panel.h"
#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

X11Overlay::X11Overlay(EventLoop& loop, X11Connection& connection, X11Screens& screens,
                       X11EventPump& pump)
    : loop_(loop),
      connection_(connection),
      screens_(screens),
      pump_(pump),
      grab_(loop, connection),
      arrow_(fontCursor(connection, FontCursor::arrow)),
      crosshair_(fontCursor(connection, FontCursor::crosshair)),
      escapeKeys_(keycodesFor(connection, kEscapeKeysym)) {
  pump_.onConnectionLost([this, alive = alive_] {
    if (*alive) connectionLost();
  });
}

X11Overlay::~X11Overlay() {
  *alive_ = false;
  grab_.release();
}

bool X11Overlay::compositing() {
  xcb_connection_t* c = connection_.get();
  const Reply<xcb_get_selection_owner_reply> r(
      connection_, xcb_get_selection_owner(c, connection_.atoms().netWmCmOwner));
  return r && r->owner != XCB_NONE;
}

std::unique_ptr<platform::OverlayPanel> X11Overlay::createPanel(
    const platform::PanelOptions& options, platform::OverlayView& view) {
  return std::make_unique<X11OverlayPanel>(*this, options, view);
}

xcb_cursor_t X11Overlay::currentCursor() const {
  platform::CursorKind kind = cursorStack_.empty() ? cursor_ : cursorStack_.back();
  return kind == platform::CursorKind::Arrow ? arrow_.id() : crosshair_.id();
}

void X11Overlay::applyCursor() {
  const xcb_cursor_t cursor = currentCursor();
  for (auto* panel : open_)
    panel->setCursor(cursor);
  grab_.setCursor(cursor);
}

void X11Overlay::pushCursor(platform::CursorKind cursor) {
  cursorStack_.push_back(cursor);
  applyCursor();
}

void X11Overlay::popCursor() {
  if (!cursorStack_.empty()) cursorStack_.pop_back();
  applyCursor();
}

void X11Overlay::setCursor(platform::CursorKind cursor) {
  if (cursorStack_.empty()) {
    cursor_ = cursor;
  } else {
    cursorStack_.back() = cursor;
  }
  applyCursor();
}

void X11Overlay::panelShown(X11OverlayPanel* panel, bool makeKey) {
  if (std::find(open_.begin(), open_.end(), panel) == open_.end()) open_.push_back(panel);
  if (makeKey) {
    key_ = panel;
    grab_.acquire(panel->window(), currentCursor());
  }
}

void X11Overlay::panelClosed(X11OverlayPanel* panel) {
  open_.erase(std::remove(open_.begin(), open_.end(), panel), open_.end());
  if (key_ != panel) return;
  key_ = open_.empty() ? nullptr : open_.back();
  if (key_) {
    grab_.acquire(key_->window(), currentCursor());
  } else {
    grab_.release();
  }
}

void X11Overlay::connectionLost() {
  // Nothing can be drawn or clicked any more: the selection ends as if the user pressed Escape.
  grab_.release();
  if (key_) key_->view().keyDown(platform::kEscapeKeyCode);
}

}  // namespace orvel::x11
