// orvel-demo-gnome: region-capture-helper on a headless gnome-shell (two monitors, 1280x800 and
// 1024x768 side by side), chosen through ORVEL_BACKEND=gnome, with mutter's RemoteDesktop as the
// user's hand: a region dragged across the monitors' join, below the top bar's end. Writes
// OUTDIR/region-gnome.png and appends a line to OUTDIR/summary.txt.
//
//   orvel-demo-gnome --bin BUILDDIR --out OUTDIR
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "demo_support.h"
#include "gnome_hand.h"
#include "gnome_rig.h"
#include "loop_runner.h"
#include "orvel/common/json_text.h"
#include "platform/gnome/monitor_pictures.h"
#include "sway_rig.h"

namespace {

using namespace std::chrono_literals;
using orvel::Expected;
using orvel::Failure;
using orvel::demo::summarize;
using orvel::testsupport::ChildProcess;

// Every monitor's pixels, empty when the shell gives no pictures.
std::vector<std::vector<std::uint8_t>> monitors(orvel::EventLoop& loop,
                                                orvel::dbus::DbusConnection& bus,
                                                orvel::gnome::PipeWireConnection& pipewire) {
  auto pictures =
      orvel::dbustest::runTask<Expected<std::vector<orvel::gnome::MonitorPicture>, Failure>>(
          loop, [&] { return orvel::gnome::takeMonitorPictures(bus, pipewire, 10s); }, 15s);
  std::vector<std::vector<std::uint8_t>> out;
  if (!pictures || !*pictures) return out;
  for (const auto& m : **pictures) {
    const orvel::Image& p = m.picture;
    out.emplace_back(p.data(), p.data() + p.stride() * static_cast<std::size_t>(p.height()));
  }
  return out;
}

int regionCapture(const std::string& bin, const std::string& out) {
  const auto started = std::chrono::steady_clock::now();
  std::string whyNot;
  auto rig = orvel::gnometest::GnomeRig::start({}, whyNot);
  if (!rig) {
    summarize(out, "region capture on GNOME skipped: " + whyNot);
    return 0;
  }
  rig->enter();
  orvel::SteadyClock clock;
  orvel::EventLoop loop(clock);
  auto bus = orvel::dbus::DbusConnection::openSession(loop);
  auto pipewire = orvel::gnome::PipeWireConnection::open(loop);
  if (!bus || !pipewire || !orvel::gnometest::leaveOverview(loop, **bus)) {
    summarize(out, "region capture on GNOME FAILED: the shell's session did not answer");
    return 1;
  }
  auto hand = orvel::gnometest::GnomeHand::open(loop, **bus, whyNot);
  ChildProcess::Options o;
  o.environment = rig->environment();
  o.environment["ORVEL_BACKEND"] = "gnome";
  auto helper = ChildProcess::start({bin + "/region-capture/region-capture-helper"}, o);
  if (!hand || !hand->warmUp() || !helper) {
    summarize(out, "region capture on GNOME FAILED: no hand (" + whyNot + ") or no helper");
    return 1;
  }
  const auto desktop = monitors(loop, **bus, **pipewire);
  const std::string path = out + "/region-gnome.png";
  helper->write(R"({"command":"prepare","id":1})"
                "\n"
                R"({"command":"capture","id":1,"path":")" +
                path + "\"}\n");
  // A person's drag starts once the screens froze: the dimmed overlay is up on every monitor, its
  // windows' opening animation over (two pictures alike; input reaches them only then).
  std::vector<std::vector<std::uint8_t>> last;
  const bool frozen = orvel::waylandtest::waitUntil(
      [&] {
        auto now = monitors(loop, **bus, **pipewire);
        if (now.size() != desktop.size() || now.empty()) return false;
        bool settled = now == last;
        for (std::size_t i = 0; i < now.size(); ++i)
          settled = settled && now[i] != desktop[i];
        last = std::move(now);
        return settled;
      },
      30s);
  hand->move(1000, 4);
  hand->button(true);
  for (int i = 1; i <= 10; ++i)
    hand->move(1000 + 500 * i / 10, 4 + 300 * i / 10);
  hand->button(false);
  // Not frozen as planned: no reply is taken for the capture's.
  const orvel::Json reply = frozen ? orvel::demo::replyOf(*helper) : orvel::Json::object();
  return orvel::demo::finishRegion(
      *helper, out, "region capture on GNOME Shell across its two monitors", "region-gnome.png",
      reply, started, ", the shell's start included");
}

}  // namespace

int main(int argc, char** argv) {
  const auto arguments = orvel::demo::demoArguments(argc, argv, "orvel-demo-gnome");
  if (!arguments) return 2;
  return regionCapture(arguments->bin, arguments->out);
}
