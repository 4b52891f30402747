#include "kwin_rig.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "rig_support.h"

namespace orvel::kdetest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testsupport::waitUntil;

namespace {

constexpr const char* kSocket = "wayland-kwin";

std::string joined(const std::vector<std::string>& items, char separator) {
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += separator;
    out += item;
  }
  return out;
}

// Runs inside dbus-run-session as KWin's user: $0 is the rig's folder, $1... KWin's arguments.
// Stops KWin and the system bus, by pid, when our end of its standard input closes.
constexpr const char* kSessionScript = R"(d=$0
dbus-daemon --session --nofork --address="unix:path=$d/system_bus" >"$d/system_bus.log" 2>&1 &
b=$!
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$d/system_bus"
kbuildsycoca5 --noincremental >"$d/sycoca.log" 2>&1
"$d/kwin_wayland" "$@" >"$d/kwin.log" 2>&1 &
p=$!
echo "$p $b" >"$d/pids.tmp" && mv "$d/pids.tmp" "$d/pids"
echo "$DBUS_SESSION_BUS_ADDRESS" >"$d/bus.tmp" && mv "$d/bus.tmp" "$d/bus"
read _
kill "$p" "$b"
wait "$p"
)";

}  // namespace

std::string desktopEntryText(const DesktopEntry& entry) {
  std::string text = "[Desktop Entry]\nType=Application\nName=" + entry.id +
                     "\nNoDisplay=true\nExec=" + entry.exec + "\n";
  if (!entry.dbusInterfaces.empty())
    text += "X-KDE-DBUS-Restricted-Interfaces=" + joined(entry.dbusInterfaces, ',') + "\n";
  if (!entry.waylandInterfaces.empty())
    text += "X-KDE-Wayland-Interfaces=" + joined(entry.waylandInterfaces, ',') + "\n";
  return text;
}

std::unique_ptr<KWinRig> KWinRig::start(const KWinOptions& options, std::string& whyNot,
                                        bool& missing) {
  missing = false;
  if (testsupport::lacksPrograms({"kwin_wayland", "kbuildsycoca5", "dbus-run-session",
                                  "dbus-daemon", "dbus-send", "setpriv"},
                                 whyNot)) {
    missing = true;
    return nullptr;
  }
  const std::string kwin = *testsupport::programPath("kwin_wayland");
  std::unique_ptr<KWinRig> rig(new KWinRig);
  if (!testsupport::makeRigFolder("kwin", rig->runtimeDir_, whyNot)) return nullptr;
  const std::string& dir = rig->runtimeDir_;
  std::error_code ec;
  fs::create_directories(dir + "/home", ec);
  fs::create_directories(dir + "/share/applications", ec);
  for (const DesktopEntry& entry : options.entries) {
    std::ofstream(dir + "/share/applications/" + entry.id + ".desktop") << desktopEntryText(entry);
  }
  // The copy has no file capability, which the container could not grant.
  fs::copy_file(kwin, dir + "/kwin_wayland", ec);
  if (ec) {
    whyNot = "cannot copy kwin_wayland: " + ec.message();
    return nullptr;
  }
  for (const auto& e : fs::recursive_directory_iterator(dir, ec)) {
    if (!testsupport::handToServerUser(e.path().string())) {
      whyNot = "cannot hand the rig's folder to KWin's user";
      return nullptr;
    }
  }
  if (!testsupport::handToServerUser(dir)) {
    whyNot = "cannot hand the rig's folder to KWin's user";
    return nullptr;
  }
  std::vector<std::string> dataDirs = options.dataDirs;
  dataDirs.push_back(dir + "/share");
  dataDirs.push_back("/usr/local/share");
  dataDirs.push_back("/usr/share");
  rig->dataDirs_ = joined(dataDirs, ':');

  ChildProcess::Options o;
  o.environment = rig->environment();
  o.environment.erase("DBUS_SESSION_BUS_ADDRESS");
  o.environment["WAYLAND_DISPLAY"] = "";
  o.pipeStdout = false;
  std::vector<std::string> command = {"dbus-run-session", "--", "sh", "-c", kSessionScript, dir};
  command.insert(command.end(),
                 {"--virtual", "--width", std::to_string(options.width), "--height",
                  std::to_string(options.height), "--output-count", std::to_string(options.outputs),
                  "--scale", std::to_string(options.scale), "--socket", std::string(kSocket),
                  "--no-lockscreen", "--no-global-shortcuts", "--no-kactivities"});
  std::vector<std::string> argv = testsupport::asServerUser(std::move(command));
  rig->shell_ = ChildProcess::start(argv, o);
  if (!rig->shell_) {
    whyNot = "dbus-run-session could not be started";
    return nullptr;
  }
  // Up once its socket is there and the screenshot service answers on the session bus.
  const bool up = waitUntil(
      [&] {
        if (rig->sessionBus_.empty()) {
          std::ifstream pids(dir + "/pids");
          std::ifstream bus(dir + "/bus");
          if (!(pids >> rig->compositorPid_ >> rig->systemBusPid_) ||
              !std::getline(bus, rig->sessionBus_)) {
            rig->sessionBus_.clear();
            return false;
          }
        }
        if (!fs::exists(dir + "/" + kSocket)) return false;
        return rig->kwinProperty("/org/kde/KWin/ScreenShot2", "org.kde.KWin.ScreenShot2",
                                 "Version") != "";
      },
      30s);
  if (!up) {
    whyNot = "KWin did not come up: " + testsupport::readText(dir + "/kwin.log").substr(0, 600);
    return nullptr;
  }
  return rig;
}

KWinRig::~KWinRig() {
  testsupport::endRigSession(shell_, 10s, runtimeDir_);
}

void KWinRig::killCompositor() {
  if (compositorPid_ > 0) ::kill(compositorPid_, SIGKILL);
}

std::map<std::string, std::string> KWinRig::environment() const {
  return {{"WAYLAND_DISPLAY", runtimeDir_ + "/" + kSocket},
          {"DBUS_SESSION_BUS_ADDRESS", sessionBus_},
          {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + runtimeDir_ + "/system_bus"},
          {"XDG_RUNTIME_DIR", runtimeDir_},
          {"XDG_DATA_DIRS", dataDirs_},
          {"XDG_CURRENT_DESKTOP", "KDE"},
          {"KDE_SESSION_VERSION", "5"},
          {"HOME", runtimeDir_ + "/home"},
          {"DISPLAY", ""}};
}

std::unique_ptr<ChildProcess> KWinRig::spawn(const std::vector<std::string>& argv,
                                             ChildProcess::Options options) const {
  auto environment = this->environment();
  for (const auto& [k, v] : options.environment)
    environment[k] = v;
  options.environment = environment;
  return ChildProcess::start(testsupport::asServerUser(argv), options);
}

int KWinRig::run(const std::vector<std::string>& argv, std::string* out,
                 std::chrono::milliseconds timeout) const {
  ChildProcess::Options o;
  o.pipeStdin = false;
  auto child = spawn(argv, o);
  if (!child) return -1;
  std::string text;
  while (auto line = child->readLine(timeout))
    text += *line + "\n";
  if (out) *out = text;
  return child->wait(timeout).value_or(-1);
}

std::string KWinRig::copyProgram(const std::string& path, const std::string& name) const {
  const std::string copy = runtimeDir_ + "/" + name;
  std::error_code ec;
  fs::copy_file(path, copy, fs::copy_options::overwrite_existing, ec);
  if (ec || !testsupport::handToServerUser(copy)) return {};
  ::chmod(copy.c_str(), 0755);
  return copy;
}

std::string KWinRig::kwinProperty(const std::string& path, const std::string& interface,
                                  const std::string& property) const {
  if (sessionBus_.empty()) return {};
  std::string out;
  // Quiet while KWin is still on its way: its errors would fill the test's log.
  if (run({"sh", "-c", "exec \"$0\" \"$@\" 2>/dev/null", "dbus-send", "--bus=" + sessionBus_,
           "--print-reply", "--dest=org.kde.KWin", path, "org.freedesktop.DBus.Properties.Get",
           "string:" + interface, "string:" + property},
          &out, 10s) != 0) {
    return {};
  }
  // "method return ...\n   variant       uint32 4\n": the words after "variant".
  std::istringstream words(out.substr(std::min(out.find("variant"), out.size())));
  std::string word, value;
  words >> word;
  while (words >> word)
    value += (value.empty() ? "" : " ") + word;
  return value;
}

}  // namespace orvel::kdetest
