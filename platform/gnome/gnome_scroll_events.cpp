#include "platform/gnome/gnome_scroll_events.h"

#include "platform/dbus/answer_deadlines.h"
#include "platform/gnome/mutter_service.h"
#include "platform/wayland/virtual_pointer_scroll_events.h"

namespace orvel::gnome {

GnomeScrollEvents::GnomeScrollEvents() = default;

GnomeScrollEvents::~GnomeScrollEvents() {
  release();
}

std::optional<std::string> GnomeScrollEvents::whyNotAvailable() {
  if (auto why = whyMutterServiceSilent(bus_, "org.gnome.Mutter.RemoteDesktop",
                                        dbus::kPromptAnswerDeadline))
    return "mutter's RemoteDesktop service does not answer (" + *why + ")";
  return std::nullopt;
}

void GnomeScrollEvents::release() {
  session_.reset();
}

bool GnomeScrollEvents::ensureSession() {
  if (!bus_.bus()) return false;
  auto monitors = bus_.run(currentMonitors(*bus_.bus(), dbus::kPromptAnswerDeadline));
  if (!monitors || monitors->empty()) return false;
  // Signals (the session's end) arrive as the private loop runs.
  if (session_ && !session_->closed() && session_->monitors() == *monitors) return true;
  session_.reset();
  auto opened = bus_.run(
      RemoteDesktopSession::create(*bus_.bus(), std::move(*monitors), dbus::kDrawnAnswerDeadline));
  if (opened) session_ = std::move(*opened);
  return session_ != nullptr;
}

bool GnomeScrollEvents::openSource() {
  return setSourceOpen(ensureSession());
}

void GnomeScrollEvents::post(const platform::ScrollWheelEvent& event) {
  const auto wheel = wayland::wheelMotionFor(event);
  if (!wheel || !session_) return;
  const Point at = layoutPoint(session_->monitors(), event.location);
  // A failure leaves nothing to do: the frames show that nothing moved.
  auto played = bus_.run([](RemoteDesktopSession& session, Point at,
                            wayland::WheelMotion wheel) -> Task<Expected<void, Failure>> {
    // A place no monitor shows leaves the pointer where it is: the wheel turns there.
    auto moving = session.movePointer(at, dbus::kPromptAnswerDeadline);
    auto moved = co_await moving;
    static_cast<void>(moved);
    if (wheel.steps != 0) {
      auto turning = session.turnWheel(wheel.steps, dbus::kPromptAnswerDeadline);
      co_return co_await turning;
    }
    auto scrolling = session.scrollBy(wheel.value, dbus::kPromptAnswerDeadline);
    co_return co_await scrolling;
  }(*session_, at, *wheel));
  static_cast<void>(played);
}

void GnomeScrollEvents::restPointer(Point place) {
  if (!ensureSession()) return;
  const Point at = layoutPoint(session_->monitors(), place);
  auto moved = bus_.run(session_->movePointer(at, dbus::kPromptAnswerDeadline));
  static_cast<void>(moved);
}

}  // namespace orvel::gnome
