// Cost of the target check on a busy desktop: 200 windows, a full-screen notification host whose
// tree holds 40 banners, and a Dock. Reports the time per call and the port calls each call makes.
#include <benchmark/benchmark.h>

#include "platform/sim/sim_accessibility.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_overlay.h"
#include "platform/sim/sim_scroll_events.h"
#include "scroll_capture_helper.h"

namespace {

using namespace orvel;

Json element(const char* role, Rect r, Json extra = Json::object()) {
  Json e = {{"AXRole", role}, {"AXPosition", {r.x, r.y}}, {"AXSize", {r.width, r.height}}};
  e.update(extra);
  return e;
}

struct Desktop {
  ManualClock clock;
  EventLoop loop{clock};
  sim::SimDesktop desktop;
  sim::SimOverlay overlay{desktop};
  sim::SimAccessibility ax;
  sim::SimScrollEvents events;
  scroll::AccessibilityContentBounds content{{ax, desktop, desktop, clock}};
  struct NullChannel : ReplyChannel {
    bool write(std::string_view, std::span<const std::uint8_t>) override { return true; }
  } out;
  scroll::ScrollCaptureHelper helper{
      loop,
      {desktop, desktop, desktop, desktop, desktop, content, desktop, overlay, events},
      out,
      {900, 901},
      [](int) {}};

  Desktop() {
    const Rect screen{0, 0, 1440, 900};
    desktop.setDisplays({{1, screen, 2.0}});
    desktop.addApplication(100, "org.example.reader");
    desktop.addApplication(50, "com.apple.dock");
    desktop.addApplication(60, "com.apple.notificationcenterui");
    for (std::uint32_t i = 0; i < 196; ++i) {
      desktop.addApplication(1000 + i, "org.example.app" + std::to_string(i));
      desktop.addWindow(1000 + i, 1000 + i, {double(i % 20) * 70, 600.0 + i % 10, 60, 40});
    }
    desktop.addWindow(10, 100, {100, 100, 800, 600}, 0, 1.0, "Page");
    desktop.addWindow(11, 100, {100, 100, 800, 30}, 0, 1.0, "Toolbar");
    desktop.addWindow(20, 50, {0, 0, 1440, 900}, 20);
    desktop.addWindow(30, 60, screen, 21, 1.0, std::nullopt, true, 1);

    Json banners = Json::array();
    for (int i = 0; i < 40; ++i) {
      banners.push_back(element("AXGroup", {1100, 10.0 + 20 * i, 300, 16},
                                {{"AXSubrole", "AXNotificationCenterBanner"}}));
    }
    Json area = element("AXScrollArea", {1080, 0, 360, 900}, {{"AXChildren", banners}});
    Json hosting = element("AXGroup", screen,
                           {{"AXSubrole", "AXHostingView"}, {"AXChildren", Json::array({area})}});
    Json window =
        element("AXWindow", screen,
                {{"AXSubrole", "AXSystemDialog"}, {"AXChildren", Json::array({hosting})}});
    ax.setTree(60, {{"AXWindows", Json::array({window})}});
    Json list = element("AXList", {300, 860, 840, 40});
    ax.setTree(50, {{"AXRole", "AXApplication"}, {"AXChildren", Json::array({list})}});

    desktop.frontmost = 100;
    auto& s = helper.state();
    s.lockedTarget = scroll::MacScrollTarget::make(100, "org.example.reader", 10,
                                                   {100, 100, 800, 600}, {200, 200, 400, 300});
    s.targetTitle = "Page";
  }
};

void BM_ValidateBusyDesktop(benchmark::State& state) {
  Desktop d;
  if (!d.helper.validate()) {
    state.SkipWithError("the scene does not pass the check");
    return;
  }
  d.desktop.windowListReads = 0;
  d.ax.clearReads();
  for (auto _ : state) {
    auto r = d.helper.validate();
    benchmark::DoNotOptimize(r);
  }
  const double calls = double(state.iterations());
  state.counters["windowListReads/call"] = d.desktop.windowListReads / calls;
  state.counters["axReads/call"] = double(d.ax.reads().size()) / calls;
}
BENCHMARK(BM_ValidateBusyDesktop)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
