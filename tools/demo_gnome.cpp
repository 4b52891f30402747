// orvel-demo-gnome: the helpers on a headless gnome-shell (two monitors, 1280x800 and 1024x768 side
// by side), the project installed into a temporary prefix whose extension the shell finds, with
// mutter's RemoteDesktop as the user's hand:
//   1. The instant region capture through ORVEL_BACKEND=gnome: a region dragged across the
//      monitors' join, below the top bar's end. Writes OUTDIR/region-gnome.png.
//   2. The scrolling capture through the installed `orvel scroll` (ORVEL_BACKEND=gnome, Orvel's
//      extension enabled): a region of a GTK text view selected, captured and scrolled until the
//      height limit, the frames stitched by their overlap. Writes OUTDIR/scroll-gnome.png.
// Appends a line per capture to OUTDIR/summary.txt.
//
//   orvel-demo-gnome --bin BUILDDIR --out OUTDIR
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "demo_support.h"
#include "gnome_hand.h"
#include "gnome_rig.h"
#include "installed_project.h"
#include "loop_runner.h"
#include "orvel/common/json_text.h"
#include "platform/gnome/gnome_window_list.h"
#include "platform/gnome/monitor_pictures.h"
#include "sway_rig.h"

namespace {

using namespace std::chrono_literals;
using orvel::Expected;
using orvel::Failure;
using orvel::demo::summarize;
using orvel::testsupport::ChildProcess;
using Pictures = std::vector<std::vector<std::uint8_t>>;

// The shell with its session, and the hand that plays the user's input there.
struct Desk {
  orvel::testsupport::InstalledProject installed;
  std::unique_ptr<orvel::gnometest::GnomeRig> rig;
  orvel::SteadyClock clock;
  orvel::EventLoop loop{clock};
  std::unique_ptr<orvel::dbus::DbusConnection> bus;
  std::unique_ptr<orvel::gnome::PipeWireConnection> pipewire;
  std::unique_ptr<orvel::gnometest::GnomeHand> hand;

  // Every monitor's pixels, empty when the shell gives no pictures.
  Pictures monitors() {
    auto pictures =
        orvel::dbustest::runTask<Expected<std::vector<orvel::gnome::MonitorPicture>, Failure>>(
            loop, [&] { return orvel::gnome::takeMonitorPictures(*bus, *pipewire, 10s); }, 15s);
    Pictures out;
    if (!pictures || !*pictures) return out;
    for (const auto& m : **pictures) {
      const orvel::Image& p = m.picture;
      out.emplace_back(p.data(), p.data() + p.stride() * static_cast<std::size_t>(p.height()));
    }
    return out;
  }

  // Waits until the screens have settled (two pictures alike) on something other than `before`
  // on every monitor: an overlay's dim with its opening animation over (input reaches it only
  // then), or a new window shown. The settled pictures in `now`.
  bool settledAwayFrom(const Pictures& before, Pictures& now) {
    Pictures last;
    return orvel::waylandtest::waitUntil(
        [&] {
          now = monitors();
          if (now.size() != before.size() || now.empty()) return false;
          bool settled = now == last;
          for (std::size_t i = 0; i < now.size() && settled; ++i)
            settled = now[i] != before[i];
          last = now;
          return settled;
        },
        30s);
  }

  bool drag(int x0, int y0, int x1, int y1) {
    if (!hand->move(x0, y0) || !hand->button(true)) return false;
    for (int i = 1; i <= 10; ++i)
      if (!hand->move(x0 + (x1 - x0) * i / 10, y0 + (y1 - y0) * i / 10)) return false;
    return hand->button(false);
  }

  // Whether Orvel's extension owns its name on the session bus.
  bool extensionOnBus() {
    auto ask = bus->newCall(
        {"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus"}, "NameHasOwner");
    if (!ask || sd_bus_message_append(ask.get(), "s", orvel::gnome::kExtensionBusName) < 0)
      return false;
    auto reply = orvel::gnometest::callAndWait(loop, *bus, std::move(ask));
    int owned = 0;
    return reply && sd_bus_message_read(reply->get(), "b", &owned) > 0 && owned;
  }
};

int regionCapture(Desk& desk, const std::string& bin, const std::string& out) {
  const auto started = std::chrono::steady_clock::now();
  ChildProcess::Options o;
  o.environment = desk.rig->environment();
  o.environment["ORVEL_BACKEND"] = "gnome";
  auto helper = ChildProcess::start({bin + "/region-capture/region-capture-helper"}, o);
  if (!helper) {
    summarize(out, "region capture on GNOME FAILED: no helper");
    return 1;
  }
  const Pictures desktop = desk.monitors();
  const std::string path = out + "/region-gnome.png";
  orvel::demo::askRegionCapture(*helper, path);
  // A person's drag starts once the screens froze: the dimmed overlay is up on every monitor.
  Pictures dimmed;
  const bool frozen = desk.settledAwayFrom(desktop, dimmed) && desk.drag(1000, 4, 1500, 304);
  // Not frozen as planned: no reply is taken for the capture's.
  const orvel::Json reply = frozen ? orvel::demo::replyOf(*helper) : orvel::Json::object();
  return orvel::demo::finishRegion(
      *helper, out, "region capture on GNOME Shell across its two monitors", "region-gnome.png",
      reply, started, ", the shell's start included");
}

// The region of the text view, on the first monitor, its lines' numbers included (every row of
// the page differs then), clear of the view's scroll bar.
constexpr int kLeft = 0, kTop = 160, kWidth = 640, kHeight = 400;
// The page has 800 lines: orvel stops at this height, about eight steps of its scroll.
constexpr int kMaxHeight = 2400;

// Pixel (x, y) of the first monitor's picture `pixels`, BGRA.
const std::uint8_t* pixelOf(const std::vector<std::uint8_t>& pixels, int x, int y) {
  constexpr std::size_t kFirstMonitorWidth = 1280;
  return pixels.data() + (std::size_t(y) * kFirstMonitorWidth + std::size_t(x)) * 4;
}

// Whether the region of the first monitor's picture `pixels` shows more than a few colours: text,
// not a desktop or an empty view.
bool showsText(const std::vector<std::uint8_t>& pixels) {
  std::set<std::uint32_t> colours;
  for (int y = kTop; y < kTop + kHeight; y += 2)
    for (int x = kLeft; x < kLeft + kWidth && colours.size() <= 4; x += 2) {
      std::uint32_t c;
      std::memcpy(&c, pixelOf(pixels, x, y), 4);
      colours.insert(c);
    }
  return colours.size() > 4;
}

int scrollingCapture(Desk& desk, const std::string& out) {
  const auto started = std::chrono::steady_clock::now();
  auto fail = [&](const std::string& why) {
    summarize(out, "scrolling capture on GNOME FAILED: " + why);
    return 1;
  };
  std::string whyNot;
  if (!orvel::gnometest::enableExtension(desk.loop, *desk.bus, orvel::gnome::kExtensionUuid,
                                         whyNot))
    return fail(whyNot);
  if (!orvel::waylandtest::waitUntil([&] { return desk.extensionOnBus(); }, 30s))
    return fail("Orvel's extension did not come on the bus");
  // The shell opens a new window on the monitor that has the pointer: the first one.
  if (!desk.hand->move(640, 400)) return fail("the hand did not move");
  // As the session's user, as a user's application runs: the helper, run so too, must read the
  // page's process to tell which application it is (startTextPage runs it as this program's user).
  ChildProcess::Options gtk;
  gtk.environment = {{"GDK_BACKEND", "wayland"},
                     {"GSK_RENDERER", "cairo"},
                     {"GTK_A11Y", "none"},
                     {"NO_AT_BRIDGE", "1"}};
  gtk.pipeStdin = gtk.pipeStdout = false;
  auto page = desk.rig->spawn({"/usr/bin/python3", ORVEL_GNOME_TEXT_PAGE}, gtk);
  if (!page) return fail("the GTK text view did not start");
  // The view shows its text in the region, and has the focus from a click, as a user's page has.
  // The screens settled then: two pictures alike.
  Pictures focused;
  bool clicked = false;
  const bool ready = orvel::waylandtest::waitUntil(
      [&] {
        Pictures now = desk.monitors();
        if (now.empty() || !showsText(now[0])) return false;
        if (!clicked) {
          clicked = desk.hand->move(kLeft + kWidth / 2, kTop + kHeight / 2) &&
                    desk.hand->button(true) && desk.hand->button(false);
          return false;
        }
        const bool settled = now == focused;
        focused = std::move(now);
        return settled;
      },
      30s);
  if (!ready) return fail("the GTK text view did not show in the region");

  orvel::demo::OrvelScrollStep step;
  step.desktop = "GNOME";
  step.file = "scroll-gnome.png";
  step.written = desk.rig->runtimeDir() + "/" + step.file;
  step.drag = [&] {
    Pictures dimmed;
    return desk.settledAwayFrom(focused, dimmed) &&
           desk.drag(kLeft, kTop, kLeft + kWidth, kTop + kHeight);
  };
  // A GTK page is no pattern whose every row tells its place: the page must have grown past the
  // region by frames that all overlapped it (orvel says when one did not).
  // A GTK page is no pattern whose every row tells its place: the page must start with the
  // region as the shell showed it before the capture, and have grown past it by frames that all
  // overlapped it (orvel says when one did not).
  step.seams = [&](const orvel::waylandtest::RgbaPicture& png,
                   const orvel::demo::OrvelScrollReport& report) -> std::string {
    if (png.width != kWidth) return "the page is " + std::to_string(png.width) + " px wide";
    if (report.frames < 2 || png.height <= kHeight) return "the page did not grow";
    int differing = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const std::uint8_t* shown = pixelOf(focused[0], kLeft + x, kTop + y);
        const std::uint8_t* p = png.at(x, y);
        if (p[0] != shown[2] || p[1] != shown[1] || p[2] != shown[0]) {
          ++differing;
          break;
        }
      }
    return differing == 0 ? ""
                          : std::to_string(differing) + " of its first rows are not the view's";
  };
  step.seamsHold = "it starts with the view's own picture, the " + std::to_string(kHeight) +
                   " px region grew by frames that all overlapped the page";
  ChildProcess::Options o;
  o.environment["ORVEL_BACKEND"] = "gnome";
  // The installed orvel starts the installed helper: the extension answers that one only.
  return orvel::demo::scrollThroughInstalledOrvel(
      [&](const auto& argv, const auto& options) { return desk.rig->spawn(argv, options); },
      desk.installed.prefix(), o, kMaxHeight, out, step, started);
}

}  // namespace

int main(int argc, char** argv) {
  const auto arguments = orvel::demo::demoArguments(argc, argv, "orvel-demo-gnome");
  if (!arguments) return 2;
  const std::string& bin = arguments->bin;
  const std::string& out = arguments->out;
  Desk desk;
  if (!orvel::demo::installForDesktop(desk.installed, *arguments, "GNOME")) return 1;
  orvel::gnometest::GnomeOptions options;
  options.dataDirs = {desk.installed.prefix() + "/share"};
  std::string whyNot;
  desk.rig = orvel::gnometest::GnomeRig::start(options, whyNot);
  if (!desk.rig) {
    summarize(out, "GNOME captures skipped: " + whyNot);
    return 0;
  }
  desk.rig->enter();
  auto bus = orvel::dbus::DbusConnection::openSession(desk.loop);
  auto pipewire = orvel::gnome::PipeWireConnection::open(desk.loop);
  if (!bus || !pipewire || !orvel::gnometest::leaveOverview(desk.loop, **bus)) {
    summarize(out, "GNOME captures FAILED: the shell's session did not answer");
    return 1;
  }
  desk.bus = std::move(*bus);
  desk.pipewire = std::move(*pipewire);
  desk.hand = orvel::gnometest::GnomeHand::open(desk.loop, *desk.bus, whyNot);
  if (!desk.hand || !desk.hand->warmUp()) {
    summarize(out, "GNOME captures FAILED: no hand: " + whyNot);
    return 1;
  }
  const int region = regionCapture(desk, bin, out);
  const int scrolling = scrollingCapture(desk, out);
  return region != 0 ? region : scrolling;
}
