#include "platform/kde/kde_region_desktop.h"

#include "platform/kde/kwin_session.h"

namespace orvel::kde {

KdeRegionDesktop::KdeRegionDesktop(EventLoop& loop, const char* display)
    : connection_(wayland::WaylandConnection::open(display)),
      capture_(std::make_unique<KWinScreenCapture>(display)) {
  whyNot_ = whyNotKWinSession(connection_.get(), *capture_);
  if (!whyNot_.empty()) return;
  std::string refusal;
  capture_->authorised(refusal);
  usable_ = true;
  pump_ = std::make_unique<wayland::WaylandEventPump>(loop, *connection_);
  screens_ = std::make_unique<wayland::WaylandScreens>(*connection_);
  permissions_ = std::make_unique<KdePermissions>(std::move(refusal), *connection_);
  // KWin focuses the overlay only once it has shown it: another client holding the keyboard
  // cannot be told from a focus still to come.
  shield_ = std::make_unique<wayland::WaylandInputShield>(*connection_, /*judgesFocus=*/false);
  overlay_ = std::make_unique<wayland::WaylandOverlay>(loop, *connection_, *screens_, *shield_);
}

KdeRegionDesktop::~KdeRegionDesktop() {
  overlay_.reset();
  shield_.reset();
  pump_.reset();
}

}  // namespace orvel::kde
