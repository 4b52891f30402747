// The ScrollEvents port on KWin: org_kde_kwin_fake_input (version 4) on the desktop's main
// connection (a new connection can cost KWin seconds before it answers on a loaded machine), which
// KWin announces only to a program its desktop entry authorises (X-KDE-Wayland-Interfaces)
// and heeds only after `authenticate`. Each event moves the pointer to its location
// (pointer_motion_absolute, KWin's logical space) and turns the vertical axis there by the
// event's value: pixel units one logical pixel each, line units wheel steps of
// kWheelStepValue (virtual_pointer_scroll_events.h), positive towards the content's end.
//
// As on every Wayland compositor the pointer cannot be put back: it stays where it last moved.
// Loop thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/posting_scroll_events.h"
#include "platform/wayland/output_layout.h"
#include "platform/wayland/wayland_connection.h"

struct org_kde_kwin_fake_input;

namespace orvel::kde {

// `global` (global display coordinates) in KWin's logical space; nothing without outputs or for a
// point that is not finite.
std::optional<Point> kwinPointFor(const wayland::OutputLayout& layout, Point global);

class FakeInputScrollEvents final : public platform::PostingScrollEvents {
 public:
  // `connection` must outlive this object.
  explicit FakeInputScrollEvents(wayland::WaylandConnection& connection);
  ~FakeInputScrollEvents() override;
  FakeInputScrollEvents(const FakeInputScrollEvents&) = delete;
  FakeInputScrollEvents& operator=(const FakeInputScrollEvents&) = delete;

  // Whether KWin announced fake input to this program.
  bool available() const { return fakeInput_ != nullptr; }
  // True while the compositor answers.
  bool openSource() override;
  // Returns once KWin has handled the motion and the axis (or the connection failed).
  void post(const platform::ScrollWheelEvent& event) override;

 private:
  wayland::WaylandConnection& connection_;
  wayland::WlPtr<wl_registry> registry_;
  org_kde_kwin_fake_input* fakeInput_ = nullptr;
};

}  // namespace orvel::kde
