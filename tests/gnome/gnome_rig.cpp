#include "gnome_rig.h"

#include <signal.h>
#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "rig_support.h"

namespace orvel::gnometest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::waitUntil;

namespace {

// Runs inside dbus-run-session as the session's user. $0 is the runtime folder, $1 the display
// name, the rest gnome-shell's monitor arguments. wireplumber starts only once pipewire listens
// (earlier, it exits and no frame ever comes); the shell only once both buses listen, in a
// process group of its own (it forks helpers). The script writes the shell's pid and waits on our
// pipe: when it closes, everything stops; a shell that ignores SIGTERM gets SIGKILL after 5 s.
constexpr const char* kSessionScript = R"sh(
d="$0"; name="$1"; shift
echo "$DBUS_SESSION_BUS_ADDRESS" >"$d/session.tmp" && mv "$d/session.tmp" "$d/session.address"
dbus-daemon --session --nofork --nopidfile --address="unix:path=$d/system_bus" \
  >"$d/system-bus.log" 2>&1 & sys=$!
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$d/system_bus"
pipewire >"$d/pipewire.log" 2>&1 & pw=$!
n=0
while { [ ! -S "$XDG_RUNTIME_DIR/pipewire-0" ] || [ ! -S "$d/system_bus" ]; } && [ $n -lt 1200 ]; do
  sleep 0.05; n=$((n+1))
done
wireplumber >"$d/wireplumber.log" 2>&1 & wp=$!
dbus-update-activation-environment WAYLAND_DISPLAY="$name" XDG_CURRENT_DESKTOP=GNOME
# No window animations: a press while a new window still zooms in lands beside it.
gsettings set org.gnome.desktop.interface enable-animations false >"$d/gsettings.log" 2>&1
if [ -n "$ORVEL_MUTTER_FEATURES" ]; then
  gsettings set org.gnome.mutter experimental-features "$ORVEL_MUTTER_FEATURES" \
    >>"$d/gsettings.log" 2>&1
fi
setsid gnome-shell --headless --wayland --no-x11 "$@" --wayland-display="$name" \
  >"$d/gnome-shell.log" 2>&1 & gs=$!
echo $gs >"$d/shell.tmp" && mv "$d/shell.tmp" "$d/shell.pid"
read _
kill -TERM -$gs 2>/dev/null
kill $wp $pw 2>/dev/null
n=0
while kill -0 $gs 2>/dev/null && [ $n -lt 100 ]; do sleep 0.05; n=$((n+1)); done
kill -KILL -$gs 2>/dev/null
kill $sys 2>/dev/null
wait
)sh";

// The session bus as configured, also admitting root (the test process).
constexpr const char* kSessionConfig = R"xml(<busconfig>
  <include>/usr/share/dbus-1/session.conf</include>
  <policy context="default"><allow user="root"/></policy>
</busconfig>
)xml";

// mutter's stored monitor configuration (monitors.xml, read from XDG_CONFIG_HOME as the shell
// starts) giving the virtual monitors ("Meta-0", ... in the order of the command line) the scales
// of `options` in the logical layout mode.
std::string monitorsXml(const GnomeOptions& options) {
  std::ostringstream xml;
  xml << "<monitors version=\"2\"><configuration><layoutmode>logical</layoutmode>\n";
  int x = 0;
  for (std::size_t i = 0; i < options.monitors.size() && i < options.scales.size(); ++i) {
    const auto [width, height] = options.monitors[i];
    const double scale = options.scales[i];
    std::ostringstream serial;
    serial << "0x" << std::hex << std::setw(2) << std::setfill('0') << i;
    xml << "<logicalmonitor><x>" << x << "</x><y>0</y><scale>" << scale << "</scale>"
        << (i == 0 ? "<primary>yes</primary>" : "") << "<monitor><monitorspec><connector>Meta-" << i
        << "</connector><vendor>MetaVendor</vendor><product>MetaVirtualMonitor</product><serial>"
        << serial.str() << "</serial></monitorspec><mode><width>" << width << "</width><height>"
        << height << "</height><rate>60.000</rate></mode></monitor></logicalmonitor>\n";
    x += static_cast<int>(std::lround(width / scale));
  }
  xml << "</configuration></monitors>\n";
  return xml.str();
}

// The first line of a file that the session script wrote.
std::string firstLine(const std::string& path) {
  const std::string text = testsupport::readText(path);
  return text.substr(0, text.find('\n'));
}

// A blocking connection to the session bus, for the rig's own questions.
struct RigBus {
  sd_bus* bus = nullptr;
  explicit RigBus(const std::string& address) {
    if (sd_bus_new(&bus) < 0) return;
    if (sd_bus_set_address(bus, address.c_str()) < 0 || sd_bus_set_bus_client(bus, 1) < 0 ||
        sd_bus_start(bus) < 0) {
      bus = sd_bus_close_unref(bus);
    }
  }
  ~RigBus() { sd_bus_close_unref(bus); }
  RigBus(const RigBus&) = delete;
  RigBus& operator=(const RigBus&) = delete;

  // Whether `name` has an owner on the bus.
  bool owned(const char* name) {
    if (!bus) return false;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    int has = 0;
    const bool asked = sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                          "org.freedesktop.DBus", "NameHasOwner", &error, &reply,
                                          "s", name) >= 0 &&
                       sd_bus_message_read(reply, "b", &has) >= 0;
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return asked && has != 0;
  }

  // Whether mutter's ScreenCast answers a call within 5 s: owning its name comes before the
  // shell's main loop runs, which on a loaded machine can take many seconds more, and now and then
  // never does (the shell's main thread waiting for a child that hangs between fork and exec).
  bool screenCastAnswers() {
    if (!bus) return false;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_message* reply = nullptr;
    sd_bus_message* call = nullptr;
    const bool answered =
        sd_bus_message_new_method_call(bus, &call, "org.gnome.Mutter.ScreenCast",
                                       "/org/gnome/Mutter/ScreenCast",
                                       "org.freedesktop.DBus.Properties", "Get") >= 0 &&
        sd_bus_message_append(call, "ss", "org.gnome.Mutter.ScreenCast", "Version") >= 0 &&
        sd_bus_call(bus, call, 5'000'000, &error, &reply) >= 0;
    sd_bus_message_unref(call);
    sd_bus_message_unref(reply);
    sd_bus_error_free(&error);
    return answered;
  }
};

}  // namespace

std::unique_ptr<GnomeRig> GnomeRig::start(const GnomeOptions& options, std::string& whyNot,
                                          bool* missing) {
  if (testsupport::lacksPrograms(
          {"gnome-shell", "pipewire", "wireplumber", "dbus-run-session", "dbus-daemon", "setpriv"},
          whyNot)) {
    if (missing) *missing = true;
    return nullptr;
  }
  if (auto rig = startOnce(options, whyNot)) return rig;
  // Once in a while a shell hangs as it starts (see screenCastAnswers); a second one comes up.
  std::cerr << "the first shell failed (" << whyNot << "); starting another" << std::endl;
  return startOnce(options, whyNot);
}

std::unique_ptr<GnomeRig> GnomeRig::startOnce(const GnomeOptions& options, std::string& whyNot) {
  std::unique_ptr<GnomeRig> rig(new GnomeRig);
  if (!testsupport::makeRigFolder("gnome", rig->runtimeDir_, whyNot)) return nullptr;
  const std::string home = rig->runtimeDir_ + "/home";
  const std::string config = rig->runtimeDir_ + "/session.conf";
  const std::string configHome = home + "/.config";
  fs::create_directory(home);
  fs::create_directory(configHome);
  std::ofstream(config) << kSessionConfig;
  std::vector<std::string> owned = {rig->runtimeDir_, home, configHome, config};
  if (!options.scales.empty()) {
    owned.push_back(configHome + "/monitors.xml");
    std::ofstream(owned.back()) << monitorsXml(options);
  }
  for (const std::string& path : owned) {
    if (!testsupport::handToServerUser(path)) {
      whyNot = "cannot hand the runtime folder to the session's user";
      return nullptr;
    }
  }

  for (const std::string& dir : options.dataDirs)
    rig->dataDirs_ += dir + ":";
  rig->dataDirs_ += "/usr/local/share:/usr/share";
  testsupport::ChildProcess::Options o;
  o.environment = {{"HOME", home},
                   {"XDG_DATA_DIRS", rig->dataDirs_},
                   {"XDG_RUNTIME_DIR", rig->runtimeDir_},
                   {"XDG_SESSION_TYPE", "wayland"},
                   {"XDG_CURRENT_DESKTOP", "GNOME"},
                   {"XDG_CONFIG_HOME", configHome},
                   {"XDG_DATA_HOME", home + "/.local/share"},
                   {"XDG_CACHE_HOME", home + "/.cache"},
                   {"WAYLAND_DISPLAY", ""},
                   {"DISPLAY", ""},
                   {"DBUS_SESSION_BUS_ADDRESS", ""},
                   {"DBUS_SYSTEM_BUS_ADDRESS", ""}};
  if (!options.scales.empty())
    o.environment["ORVEL_MUTTER_FEATURES"] = "['scale-monitor-framebuffer']";
  o.pipeStdout = false;
  std::vector<std::string> argv = testsupport::asServerUser();
  for (const std::string& a :
       {std::string("dbus-run-session"), "--config-file=" + config, std::string("--"),
        std::string("sh"), std::string("-c"), std::string(kSessionScript), rig->runtimeDir_,
        std::string(kDisplayName)}) {
    argv.push_back(a);
  }
  for (const auto& [width, height] : options.monitors) {
    argv.push_back("--virtual-monitor");
    argv.push_back(std::to_string(width) + "x" + std::to_string(height));
  }
  rig->session_ = testsupport::ChildProcess::start(argv, o);
  if (!rig->session_) {
    whyNot = "dbus-run-session could not be started";
    return nullptr;
  }
  // A loaded machine can take many seconds; the shell alone is on the bus in about 1.5 s.
  const std::string addressFile = rig->runtimeDir_ + "/session.address";
  const std::string pidFile = rig->runtimeDir_ + "/shell.pid";
  if (!waitUntil([&] { return fs::exists(addressFile) && fs::exists(pidFile); }, 60s)) {
    whyNot = "the session did not start";
    return nullptr;
  }
  rig->sessionBus_ = firstLine(addressFile);
  rig->shellPid_ = std::atoi(firstLine(pidFile).c_str());
  RigBus bus(rig->sessionBus_);
  if (!waitUntil(
          [&] { return bus.owned("org.gnome.Mutter.ScreenCast") && bus.screenCastAnswers(); },
          60s)) {
    whyNot = "gnome-shell did not come up: " + rig->shellLog();
    return nullptr;
  }
  return rig;
}

GnomeRig::~GnomeRig() {
  // Overdue: the shell's process group too, which the session script made for it.
  testsupport::endRigSession(session_, 15s, runtimeDir_, [this] {
    if (shellPid_ > 0) ::kill(-shellPid_, SIGKILL);
  });
}

std::map<std::string, std::string> GnomeRig::environment() const {
  return {{"DBUS_SESSION_BUS_ADDRESS", sessionBus_},
          {"XDG_RUNTIME_DIR", runtimeDir_},
          {"WAYLAND_DISPLAY", waylandDisplay()},
          {"XDG_CURRENT_DESKTOP", "GNOME"},
          {"XDG_SESSION_TYPE", "wayland"},
          {"XDG_DATA_DIRS", dataDirs_},
          {"DISPLAY", ""}};
}

std::unique_ptr<testsupport::ChildProcess> GnomeRig::spawn(
    const std::vector<std::string>& argv, testsupport::ChildProcess::Options options) const {
  auto environment = this->environment();
  environment["HOME"] = runtimeDir_ + "/home";
  for (const auto& [name, value] : options.environment)
    environment[name] = value;
  options.environment = std::move(environment);
  return testsupport::ChildProcess::start(testsupport::asServerUser(argv), options);
}

void GnomeRig::enter() const {
  for (const auto& [name, value] : environment())
    ::setenv(name.c_str(), value.c_str(), 1);
}

std::string GnomeRig::shellLog() const {
  const std::string log = testsupport::readText(runtimeDir_ + "/gnome-shell.log");
  return log.size() > 600 ? log.substr(log.size() - 600) : log;
}

}  // namespace orvel::gnometest
