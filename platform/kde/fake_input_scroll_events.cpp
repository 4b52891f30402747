#include "platform/kde/fake_input_scroll_events.h"

#include <cmath>
#include <cstring>

#include "fake-input-client-protocol.h"
#include "platform/wayland/virtual_pointer_scroll_events.h"

namespace orvel::kde {

std::optional<Point> kwinPointFor(const wayland::OutputLayout& layout, Point global) {
  const auto& outputs = layout.outputs();
  if (outputs.empty() || !std::isfinite(global.x) || !std::isfinite(global.y)) return std::nullopt;
  // Global coordinates start at the main output, which the layout lists first.
  const Point main = outputs.front().logical.origin();
  return Point{global.x + main.x, global.y + main.y};
}

namespace {

// Version 4 has pointer_motion_absolute and the axis KWin 5.27 offers.
constexpr std::uint32_t kFakeInputVersion = 4;

const wl_registry_listener kRegistry = {
    [](void* data, wl_registry* registry, std::uint32_t name, const char* interface,
       std::uint32_t version) {
      auto* fakeInput = static_cast<org_kde_kwin_fake_input**>(data);
      if (std::strcmp(interface, org_kde_kwin_fake_input_interface.name) == 0 && !*fakeInput &&
          version >= kFakeInputVersion)
        *fakeInput = static_cast<org_kde_kwin_fake_input*>(wl_registry_bind(
            registry, name, &org_kde_kwin_fake_input_interface, kFakeInputVersion));
    },
    [](void*, wl_registry*, std::uint32_t) {},
};

}  // namespace

FakeInputScrollEvents::FakeInputScrollEvents(wayland::WaylandConnection& connection)
    : connection_(connection) {
  registry_.reset(wl_display_get_registry(connection_.display()));
  wl_registry_add_listener(registry_.get(), &kRegistry, &fakeInput_);
  if (!connection_.roundtrip() || !fakeInput_) return;
  org_kde_kwin_fake_input_authenticate(fakeInput_, "Orvel", "scrolling capture of a window");
  connection_.roundtrip();
}

FakeInputScrollEvents::~FakeInputScrollEvents() {
  if (fakeInput_) org_kde_kwin_fake_input_destroy(fakeInput_);
  connection_.flush();
}

bool FakeInputScrollEvents::openSource() {
  if (!fakeInput_ || !connection_.ok()) return setSourceOpen(false);
  // Also brings the outputs up to date for the locations of the coming events.
  return setSourceOpen(connection_.roundtrip());
}

void FakeInputScrollEvents::post(const platform::ScrollWheelEvent& event) {
  if (!fakeInput_ || !connection_.ok()) return;
  const auto wheel = wayland::wheelMotionFor(event);
  if (!wheel) return;
  connection_.dispatchAvailable();
  if (const auto at = kwinPointFor(connection_.layout(), event.location)) {
    org_kde_kwin_fake_input_pointer_motion_absolute(fakeInput_, wl_fixed_from_double(at->x),
                                                    wl_fixed_from_double(at->y));
  }
  org_kde_kwin_fake_input_axis(fakeInput_, WL_POINTER_AXIS_VERTICAL_SCROLL,
                               wl_fixed_from_double(wheel->value));
  connection_.roundtrip();
}

}  // namespace orvel::kde
