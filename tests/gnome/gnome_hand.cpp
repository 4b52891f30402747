#include "gnome_hand.h"

#include "loop_runner.h"
#include "sway_rig.h"

namespace orvel::gnometest {

namespace {

using namespace std::chrono_literals;

constexpr const char* kRemoteDesktop = "org.gnome.Mutter.RemoteDesktop";
constexpr const char* kScreenCast = "org.gnome.Mutter.ScreenCast";
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
  std::unique_ptr<GnomeHand> hand(new GnomeHand(loop, bus));
  auto monitors = dbustest::runTask<Expected<std::vector<gnome::GnomeMonitor>, Failure>>(
      loop, [&bus] { return gnome::currentMonitors(bus, kAnswer); });
  if (!monitors || !*monitors) {
    whyNot = monitors ? (*monitors).error().description : "no monitors";
    return nullptr;
  }
  hand->monitors_ = **monitors;

  auto create = bus.newCall({kRemoteDesktop, "/org/gnome/Mutter/RemoteDesktop", kRemoteDesktop},
                            "CreateSession");
  auto created = send(loop, bus, std::move(create));
  const char* path = nullptr;
  if (!answered(created, whyNot) || sd_bus_message_read((*created)->get(), "o", &path) < 0)
    return nullptr;
  hand->session_ = path;

  auto get =
      bus.newCall({kRemoteDesktop, hand->session_, "org.freedesktop.DBus.Properties"}, "Get");
  sd_bus_message_append(get.get(), "ss", "org.gnome.Mutter.RemoteDesktop.Session", "SessionId");
  auto id = send(loop, bus, std::move(get));
  const char* sessionId = nullptr;
  if (!answered(id, whyNot) || sd_bus_message_read((*id)->get(), "v", "s", &sessionId) < 0)
    return nullptr;

  auto cast =
      bus.newCall({kScreenCast, "/org/gnome/Mutter/ScreenCast", kScreenCast}, "CreateSession");
  sd_bus_message_append(cast.get(), "a{sv}", 1, "remote-desktop-session-id", "s", sessionId);
  auto casting = send(loop, bus, std::move(cast));
  const char* castPath = nullptr;
  if (!answered(casting, whyNot) || sd_bus_message_read((*casting)->get(), "o", &castPath) < 0)
    return nullptr;
  const std::string castSession = castPath;
  for (const gnome::GnomeMonitor& m : hand->monitors_) {
    auto record = bus.newCall({kScreenCast, castSession, "org.gnome.Mutter.ScreenCast.Session"},
                              "RecordMonitor");
    sd_bus_message_append(record.get(), "sa{sv}", m.connector.c_str(), 0);
    auto recorded = send(loop, bus, std::move(record));
    const char* stream = nullptr;
    if (!answered(recorded, whyNot) || sd_bus_message_read((*recorded)->get(), "o", &stream) < 0)
      return nullptr;
    hand->streams_.push_back(stream);
  }
  auto start = bus.newCall(
      {kRemoteDesktop, hand->session_, "org.gnome.Mutter.RemoteDesktop.Session"}, "Start");
  if (!answered(send(loop, bus, std::move(start)), whyNot)) return nullptr;
  return hand;
}

GnomeHand::~GnomeHand() {
  if (session_.empty() || bus_.lost()) return;
  auto stop =
      bus_.newCall({kRemoteDesktop, session_, "org.gnome.Mutter.RemoteDesktop.Session"}, "Stop");
  send(loop_, bus_, std::move(stop));
}

template <class... Args>
bool GnomeHand::notify(const char* member, const char* types, Args... args) {
  auto request =
      bus_.newCall({kRemoteDesktop, session_, "org.gnome.Mutter.RemoteDesktop.Session"}, member);
  if (sd_bus_message_append(request.get(), types, args...) < 0) return false;
  std::string ignored;
  return answered(send(loop_, bus_, std::move(request)), ignored);
}

bool GnomeHand::move(double x, double y) {
  for (std::size_t i = 0; i < monitors_.size(); ++i) {
    const gnome::GnomeMonitor& m = monitors_[i];
    if (x < m.x || y < m.y || x >= m.x + m.layoutWidth || y >= m.y + m.layoutHeight) continue;
    return notify("NotifyPointerMotionAbsolute", "sdd", streams_[i].c_str(), x - m.x, y - m.y);
  }
  return false;
}

bool GnomeHand::button(bool pressed) {
  constexpr std::int32_t kLeftButton = 272;  // BTN_LEFT
  return notify("NotifyPointerButton", "ib", kLeftButton, static_cast<int>(pressed));
}

bool GnomeHand::tap(std::uint32_t keysym) {
  return notify("NotifyKeyboardKeysym", "ub", keysym, 1) &&
         notify("NotifyKeyboardKeysym", "ub", keysym, 0);
}

bool leaveOverview(EventLoop& loop, dbus::DbusConnection& bus) {
  const dbus::DbusTarget shell{"org.gnome.Shell", "/org/gnome/Shell",
                               "org.freedesktop.DBus.Properties"};
  auto active = [&] {
    auto get = bus.newCall(shell, "Get");
    sd_bus_message_append(get.get(), "ss", "org.gnome.Shell", "OverviewActive");
    auto answer = send(loop, bus, std::move(get));
    int shown = 0;
    return answer && *answer && sd_bus_message_read((*answer)->get(), "v", "b", &shown) >= 0 &&
           shown;
  };
  waylandtest::waitUntil(active, 10s);
  auto set = bus.newCall(shell, "Set");
  sd_bus_message_append(set.get(), "ssv", "org.gnome.Shell", "OverviewActive", "b", 0);
  std::string ignored;
  return answered(send(loop, bus, std::move(set)), ignored) &&
         waylandtest::waitUntil([&] { return !active(); });
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

}  // namespace orvel::gnometest
