#include "gnome_hand.h"

#include <cmath>
#include <cstring>
#include <iostream>
#include <optional>
#include <string_view>

#include "loop_runner.h"
#include "rig_support.h"
#include "sway_rig.h"

namespace orvel::gnometest {

namespace {

using namespace std::chrono_literals;

constexpr auto kAnswer = 10s;

using Reply = Expected<dbus::DbusMessage, Failure>;

// Sends `request` and waits for the reply on `loop`.
std::optional<Reply> send(EventLoop& loop, dbus::DbusConnection& bus, dbus::DbusMessage request) {
  auto shared = std::make_shared<dbus::DbusMessage>(std::move(request));
  return dbustest::runTask<Reply>(loop,
                                  [&bus, shared] { return bus.call(std::move(*shared), kAnswer); });
}

bool answered(const std::optional<Reply>& reply, std::string& whyNot) {
  if (!reply)
    whyNot = "no answer";
  else if (!*reply)
    whyNot = (*reply).error().description;
  return reply && *reply;
}

}  // namespace

std::unique_ptr<GnomeHand> GnomeHand::open(EventLoop& loop, dbus::DbusConnection& bus,
                                           std::string& whyNot) {
  auto monitors = dbustest::runTask<Expected<std::vector<gnome::GnomeMonitor>, Failure>>(
      loop, [&bus] { return gnome::currentMonitors(bus, kAnswer); });
  if (!monitors || !*monitors) {
    whyNot = monitors ? (*monitors).error().description : "no monitors";
    return nullptr;
  }
  auto session = dbustest::runTask<Expected<std::unique_ptr<gnome::RemoteDesktopSession>, Failure>>(
      loop, [&] { return gnome::RemoteDesktopSession::create(bus, **monitors, kAnswer); });
  if (!session || !*session) {
    whyNot = session ? (*session).error().description : "no answer";
    return nullptr;
  }
  return std::unique_ptr<GnomeHand>(new GnomeHand(loop, std::move(**session)));
}

GnomeHand::~GnomeHand() = default;

bool GnomeHand::played(const std::function<Task<Expected<void, Failure>>()>& play) {
  auto done = dbustest::runTask<Expected<void, Failure>>(loop_, play);
  return done && *done;
}

bool GnomeHand::move(double x, double y) {
  return played([&] { return session_->movePointer({x, y}, kAnswer); });
}

bool GnomeHand::button(bool pressed) {
  constexpr std::int32_t kLeftButton = 272;  // BTN_LEFT
  return played([&] { return session_->button(kLeftButton, pressed, kAnswer); });
}

bool GnomeHand::tap(std::uint32_t keysym) {
  return played([&] { return session_->key(keysym, true, kAnswer); }) &&
         played([&] { return session_->key(keysym, false, kAnswer); });
}

namespace {

const dbus::DbusTarget kShellProperties{"org.gnome.Shell", "/org/gnome/Shell",
                                        "org.freedesktop.DBus.Properties"};

// OverviewActive as the shell reads it; nothing when it did not answer (`whyNot` says why).
std::optional<bool> readOverview(EventLoop& loop, dbus::DbusConnection& bus, std::string& whyNot) {
  auto get = bus.newCall(kShellProperties, "Get");
  sd_bus_message_append(get.get(), "ss", "org.gnome.Shell", "OverviewActive");
  auto answer = send(loop, bus, std::move(get));
  int shown = 0;
  if (!answered(answer, whyNot)) return std::nullopt;
  if (sd_bus_message_read((*answer)->get(), "v", "b", &shown) < 0) {
    whyNot = "OverviewActive is not a boolean";
    return std::nullopt;
  }
  return shown != 0;
}

bool overviewActive(EventLoop& loop, dbus::DbusConnection& bus) {
  std::string ignored;
  return readOverview(loop, bus, ignored).value_or(false);
}

bool askOverview(EventLoop& loop, dbus::DbusConnection& bus, bool shown, std::string& whyNot) {
  auto set = bus.newCall(kShellProperties, "Set");
  sd_bus_message_append(set.get(), "ssv", "org.gnome.Shell", "OverviewActive", "b", int(shown));
  return answered(send(loop, bus, std::move(set)), whyNot);
}

// Sets OverviewActive and waits until it reads so.
bool setOverview(EventLoop& loop, dbus::DbusConnection& bus, bool shown) {
  std::string ignored;
  return askOverview(loop, bus, shown, ignored) &&
         waylandtest::waitUntil([&] { return overviewActive(loop, bus) == shown; });
}

}  // namespace

bool leaveOverview(EventLoop& loop, dbus::DbusConnection& bus) {
  std::string why;
  std::optional<bool> shown;
  // A loaded machine can take long to run the shell's start-up animation; a shell that has shown
  // and ended its overview before the first look is out of it already.
  if (!waylandtest::waitUntil(
          [&] {
            shown = readOverview(loop, bus, why);
            return shown.value_or(false);
          },
          45s)) {
    std::cerr << "the overview was not seen open; last read: "
              << (shown ? (*shown ? "open" : "closed") : "no answer: " + why) << std::endl;
  }
  for (int attempt = 0; attempt < 6; ++attempt) {
    if (setOverview(loop, bus, false)) return true;
    // The shell drops an end asked while its start-up animation still runs, and then ignores
    // further ends until the overview is asked for again.
    if (!askOverview(loop, bus, true, why)) std::cerr << "asking for the overview: " << why << '\n';
  }
  std::cerr << "the overview did not close" << std::endl;
  return false;
}

bool openOverview(EventLoop& loop, dbus::DbusConnection& bus) {
  return setOverview(loop, bus, true);
}

Expected<dbus::DbusMessage, Failure> callAndWait(EventLoop& loop, dbus::DbusConnection& bus,
                                                 dbus::DbusMessage request) {
  auto reply = send(loop, bus, std::move(request));
  if (!reply) return failed("no answer");
  return std::move(*reply);
}

bool enableExtension(EventLoop& loop, dbus::DbusConnection& bus, const std::string& uuid,
                     std::string& whyNot) {
  auto enable = bus.newCall({"org.gnome.Shell", "/org/gnome/Shell", "org.gnome.Shell.Extensions"},
                            "EnableExtension");
  sd_bus_message_append(enable.get(), "s", uuid.c_str());
  auto reply = send(loop, bus, std::move(enable));
  int enabled = 0;
  if (!answered(reply, whyNot)) return false;
  if (sd_bus_message_read((*reply)->get(), "b", &enabled) < 0 || !enabled) {
    whyNot = "the shell did not enable " + uuid;
    return false;
  }
  return true;
}

std::unique_ptr<testsupport::ChildProcess> startTextPage(const GnomeRig& rig, bool moving) {
  testsupport::ChildProcess::Options o;
  o.environment = rig.environment();
  // GTK's software renderer (no GPU here), without the accessibility bus the session lacks.
  o.environment.insert({{"GDK_BACKEND", "wayland"},
                        {"GSK_RENDERER", "cairo"},
                        {"GTK_A11Y", "none"},
                        {"NO_AT_BRIDGE", "1"}});
  o.pipeStdin = o.pipeStdout = false;
  // Debian's own Python, which has the GTK bindings (not one that PATH may put first).
  std::vector<std::string> argv = {"/usr/bin/python3", ORVEL_GNOME_TEXT_PAGE};
  if (moving) argv.push_back("--moving");
  return testsupport::ChildProcess::start(argv, o);
}

bool samePixels(const Image& a, const Image& b) {
  if (a.width() != b.width() || a.height() != b.height()) return false;
  for (int y = 0; y < a.height(); ++y)
    if (std::memcmp(a.row(y), b.row(y), static_cast<std::size_t>(a.width()) * 4) != 0) return false;
  return true;
}

waylandtest::RgbaPicture layoutArea(const std::vector<gnome::MonitorPicture>& pictures, int left,
                                    int top, int right, int bottom, double scale) {
  waylandtest::RgbaPicture out{static_cast<int>(std::trunc((right - left) * scale)),
                               static_cast<int>(std::trunc((bottom - top) * scale)),
                               {}};
  out.rgba.resize(static_cast<std::size_t>(out.width) * out.height * 4);
  for (const gnome::MonitorPicture& p : pictures) {
    const gnome::GnomeMonitor& m = p.monitor;
    if (m.layoutWidth <= 0 || m.layoutHeight <= 0) continue;
    for (int y = 0; y < out.height; ++y) {
      for (int x = 0; x < out.width; ++x) {
        // The monitor's pixel under the centre of the bitmap's.
        const double lx = left + (x + 0.5) / scale - m.x, ly = top + (y + 0.5) / scale - m.y;
        if (lx < 0 || ly < 0 || lx >= m.layoutWidth || ly >= m.layoutHeight) continue;
        const auto mx = static_cast<int>(lx * m.widthPx / m.layoutWidth);
        const auto my = static_cast<int>(ly * m.heightPx / m.layoutHeight);
        if (mx >= p.picture.width() || my >= p.picture.height()) continue;
        const std::uint8_t* bgra = p.picture.row(my) + static_cast<std::size_t>(mx) * 4;
        std::uint8_t* rgba = out.rgba.data() + (static_cast<std::size_t>(y) * out.width + x) * 4;
        rgba[0] = bgra[2], rgba[1] = bgra[1], rgba[2] = bgra[0], rgba[3] = bgra[3];
      }
    }
  }
  return out;
}

bool overlaySettled(const std::function<std::optional<waylandtest::RgbaPicture>()>& look,
                    const waylandtest::RgbaPicture& truth, long& wrong,
                    std::chrono::milliseconds limit) {
  wrong = -1;
  int dimmedInARow = 0;
  return testsupport::waitUntil(
      [&] {
        auto shown = look();
        wrong = shown ? waylandtest::notDimmed(*shown, truth) : -1;
        dimmedInARow = wrong == 0 ? dimmedInARow + 1 : 0;
        return dimmedInARow >= 2;
      },
      limit);
}

bool keepOnlyMonitor(EventLoop& loop, dbus::DbusConnection& bus, const std::string& connector) {
  const dbus::DbusTarget config{"org.gnome.Mutter.DisplayConfig", "/org/gnome/Mutter/DisplayConfig",
                                "org.gnome.Mutter.DisplayConfig"};
  auto state = send(loop, bus, bus.newCall(config, "GetCurrentState"));
  if (!state || !*state) return false;
  sd_bus_message* m = (*state)->get();
  std::uint32_t serial = 0;
  std::string mode;
  if (sd_bus_message_read(m, "u", &serial) < 0 ||
      sd_bus_message_enter_container(m, 'a', "((ssss)a(siiddada{sv})a{sv})") <= 0)
    return false;
  // The current mode of `connector`: the one whose properties hold is-current.
  while (sd_bus_message_enter_container(m, 'r', "(ssss)a(siiddada{sv})a{sv}") > 0) {
    const char *name = nullptr, *vendor = nullptr, *product = nullptr, *number = nullptr;
    if (sd_bus_message_read(m, "(ssss)", &name, &vendor, &product, &number) < 0 ||
        sd_bus_message_enter_container(m, 'a', "(siiddada{sv})") <= 0)
      return false;
    while (sd_bus_message_enter_container(m, 'r', "siiddada{sv}") > 0) {
      const char* id = nullptr;
      int width = 0, height = 0;
      double refresh = 0, scale = 0;
      if (sd_bus_message_read(m, "siidd", &id, &width, &height, &refresh, &scale) < 0 ||
          sd_bus_message_skip(m, "ad") < 0 || sd_bus_message_enter_container(m, 'a', "{sv}") <= 0)
        return false;
      while (sd_bus_message_enter_container(m, 'e', "sv") > 0) {
        const char* key = nullptr;
        int current = 0;
        if (sd_bus_message_read(m, "s", &key) < 0) return false;
        if (std::string_view(key) == "is-current" &&
            sd_bus_message_read(m, "v", "b", &current) >= 0) {
          if (current && connector == name) mode = id;
        } else if (sd_bus_message_skip(m, "v") < 0) {
          return false;
        }
        sd_bus_message_exit_container(m);
      }
      sd_bus_message_exit_container(m);
      sd_bus_message_exit_container(m);
    }
    sd_bus_message_exit_container(m);
    if (sd_bus_message_skip(m, "a{sv}") < 0) return false;
    sd_bus_message_exit_container(m);
  }
  if (mode.empty()) return false;
  auto apply = bus.newCall(config, "ApplyMonitorsConfig");
  constexpr std::uint32_t kTemporary = 1;
  if (sd_bus_message_append(apply.get(), "uu", serial, kTemporary) < 0 ||
      sd_bus_message_append(apply.get(), "a(iiduba(ssa{sv}))", 1, 0, 0, 1.0, 0u, 1, 1,
                            connector.c_str(), mode.c_str(), 0) < 0 ||
      sd_bus_message_append(apply.get(), "a{sv}", 0) < 0)
    return false;
  std::string ignored;
  return answered(send(loop, bus, std::move(apply)), ignored);
}

std::size_t liveSessions(EventLoop& loop, dbus::DbusConnection& bus, const std::string& service) {
  auto request =
      bus.newCall({"org.gnome.Mutter." + service, "/org/gnome/Mutter/" + service + "/Session",
                   "org.freedesktop.DBus.Introspectable"},
                  "Introspect");
  auto reply = send(loop, bus, std::move(request));
  const char* xml = nullptr;
  if (!reply || !*reply || sd_bus_message_read((*reply)->get(), "s", &xml) < 0) return 99;
  std::size_t count = 0;
  for (std::string_view text(xml); text.find("<node name=") != std::string_view::npos;) {
    text.remove_prefix(text.find("<node name=") + 1);
    ++count;
  }
  return count;
}

}  // namespace orvel::gnometest
