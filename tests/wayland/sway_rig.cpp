#include "sway_rig.h"

#include "test_pattern_png.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace orvel::waylandtest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

using testsupport::handToServerUser;

std::optional<std::string> findEntry(const std::string& dir, const std::string& prefix,
                                     const std::string& notSuffix) {
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec)) {
    const std::string name = e.path().filename().string();
    if (name.rfind(prefix, 0) == 0 && (notSuffix.empty() || !name.ends_with(notSuffix)) &&
        e.is_socket(ec)) {
      return e.path().string();
    }
  }
  return std::nullopt;
}

std::string scaleText(double scale) {
  std::ostringstream s;
  s << scale;
  return s.str();
}

}  // namespace

std::unique_ptr<SwayRig> SwayRig::start(const SwayOptions& options, std::string& whyNot) {
  if (testsupport::lacksPrograms({"sway", "swaymsg", "setpriv"}, whyNot)) return nullptr;
  std::unique_ptr<SwayRig> rig(new SwayRig);
  if (!testsupport::makeRigFolder("sway", rig->runtimeDir_, whyNot)) return nullptr;
  const std::string config = rig->runtimeDir_ + "/config";
  {
    std::ofstream out(config);
    // Deterministic pictures and focus: no X server, no borders, the pointer never moves by
    // itself, and its software image hides soon after the last motion.
    out << "xwayland disable\n"
        << (options.defaultPointer ? "" : "focus_follows_mouse no\nseat * hide_cursor 300\n")
        << "mouse_warping none\n"
           "default_border none\n"
           "default_floating_border none\n"
           "output * bg #000000 solid_color\n";
  }
  // sway refuses to run as root: it runs as an unprivileged user that owns its runtime folder.
  if (!handToServerUser(rig->runtimeDir_) || !handToServerUser(config)) {
    whyNot = "cannot hand the runtime folder to the compositor's user";
    return nullptr;
  }
  ChildProcess::Options o;
  o.environment = {{"XDG_RUNTIME_DIR", rig->runtimeDir_},
                   {"WLR_BACKENDS", "headless"},
                   {"WLR_LIBINPUT_NO_DEVICES", "1"},
                   {"WLR_RENDERER", "pixman"},
                   {"WAYLAND_DISPLAY", ""},
                   {"DISPLAY", ""},
                   {"HOME", rig->runtimeDir_}};
  o.pipeStdout = false;
  // The shell stops the compositor when our end of its input closes, even if we die first (and
  // wakes it, should a test have paused it); it tells the compositor's pid in a file.
  std::vector<std::string> argv = testsupport::asServerUser();
  for (const char* a :
       {"sh", "-c",
        "sway -c \"$0\" >\"$1\" 2>&1 & p=$!; echo $p >\"$2\"; read _; kill $p; kill -CONT $p; "
        "wait $p"}) {
    argv.push_back(a);
  }
  argv.push_back(config);
  argv.push_back(rig->runtimeDir_ + "/sway.log");
  argv.push_back(rig->runtimeDir_ + "/sway.pid");
  rig->shell_ = ChildProcess::start(argv, o);
  if (!rig->shell_) {
    whyNot = "sway could not be started";
    return nullptr;
  }
  std::optional<std::string> display, ipc;
  const bool up = waitUntil(
      [&] {
        display = findEntry(rig->runtimeDir_, "wayland-", ".lock");
        ipc = findEntry(rig->runtimeDir_, "sway-ipc.", "");
        return display && ipc;
      },
      15s);
  if (!up) {
    std::ifstream log(rig->runtimeDir_ + "/sway.log");
    std::stringstream text;
    text << log.rdbuf();
    whyNot = "sway did not start: " + text.str().substr(0, 400);
    return nullptr;
  }
  std::ifstream pidFile(rig->runtimeDir_ + "/sway.pid");
  if (!(pidFile >> rig->compositorPid_) || rig->compositorPid_ <= 0) {
    whyNot = "the compositor's pid is unknown";
    return nullptr;
  }
  rig->waylandDisplay_ = *display;
  rig->swaySocket_ = *ipc;
  if (!waitUntil([&] { return rig->swaymsg({"-t", "get_version"}); }, 10s)) {
    whyNot = "sway does not answer on its IPC socket";
    return nullptr;
  }
  if (!rig->layOut(options, whyNot)) return nullptr;
  return rig;
}

SwayRig::~SwayRig() {
  if (paused_) resumeCompositor();
  testsupport::endRigSession(shell_, 5s, runtimeDir_);
}

std::string SwayRig::writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes) {
  const std::string path = runtimeDir_ + "/" + name;
  {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
  }
  if (!handToServerUser(path)) return {};
  return path;
}

void SwayRig::killCompositor() {
  if (!shell_) return;
  shell_->closeStdin();
  shell_->wait(5s);
}

bool SwayRig::pauseCompositor() {
  if (compositorPid_ <= 0 || ::kill(compositorPid_, SIGSTOP) != 0) return false;
  paused_ = true;
  return true;
}

bool SwayRig::resumeCompositor() {
  if (compositorPid_ <= 0 || ::kill(compositorPid_, SIGCONT) != 0) return false;
  paused_ = false;
  return true;
}

bool SwayRig::setTransform(const std::string& output, const std::string& transform) {
  if (!swaymsg({"output", output, "transform", transform})) return false;
  return waitUntil([&] {
    auto list = outputsJson();
    if (!list) return false;
    for (const auto& o : *list) {
      if (o["name"] == output) return o["transform"] == transform;
    }
    return false;
  });
}

pid_t SwayRig::compositorPid() const {
  return compositorPid_ > 0 ? compositorPid_ : -1;
}

std::map<std::string, std::string> SwayRig::environment() const {
  return {{"WAYLAND_DISPLAY", waylandDisplay_}, {"SWAYSOCK", swaySocket_}, {"DISPLAY", ""}};
}

int SwayRig::run(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
  ChildProcess::Options o;
  o.environment = environment();
  o.pipeStdin = false;
  o.pipeStdout = false;
  auto child = ChildProcess::start(argv, o);
  if (!child) return -1;
  return child->wait(timeout).value_or(-1);
}

bool SwayRig::swaymsg(const std::vector<std::string>& args, std::string* out) {
  ChildProcess::Options o;
  o.environment = environment();
  o.pipeStdin = false;
  std::vector<std::string> argv = {"swaymsg", "-s", swaySocket_};
  argv.insert(argv.end(), args.begin(), args.end());
  auto child = ChildProcess::start(argv, o);
  if (!child) return false;
  std::string text;
  while (auto line = child->readLine(10s))
    text += *line + "\n";
  if (out) *out = text;
  return child->wait(10s) == 0;
}

std::optional<Json> SwayRig::outputsJson() {
  std::string text;
  if (!swaymsg({"-r", "-t", "get_outputs"}, &text)) return std::nullopt;
  return parseJson(text);
}

bool SwayRig::showPatterns(int firstSeed) {
  for (std::size_t i = 0; i < names_.size(); ++i) {
    const int seed = firstSeed + static_cast<int>(i);
    const std::string file =
        writeFile("pattern" + std::to_string(seed) + ".png", patternPng(640, 400, seed));
    if (!setBackground(names_[i], file)) return false;
  }
  return true;
}

bool SwayRig::setBackground(const std::string& output, const std::string& background) {
  const bool colour = !background.empty() && background[0] == '#';
  if (!swaymsg({"output", output, "bg", background, colour ? "solid_color" : "stretch"}))
    return false;
  return true;
}

bool SwayRig::layOut(const SwayOptions& options, std::string& whyNot) {
  auto current = outputsJson();
  if (!current || !current->is_array() || current->empty()) {
    whyNot = "sway shows no output";
    return false;
  }
  names_.push_back((*current)[0]["name"].get<std::string>());
  while (names_.size() < options.outputs.size()) {
    const std::size_t before = names_.size();
    if (!swaymsg({"create_output"})) {
      whyNot = "swaymsg create_output failed";
      return false;
    }
    std::optional<Json> list;
    if (!waitUntil([&] {
          list = outputsJson();
          return list && list->size() > before;
        })) {
      whyNot = "the new output did not appear";
      return false;
    }
    for (const auto& o : *list) {
      const std::string name = o["name"].get<std::string>();
      if (std::find(names_.begin(), names_.end(), name) == names_.end()) names_.push_back(name);
    }
  }
  for (std::size_t i = 0; i < options.outputs.size(); ++i) {
    const SwayOutput& o = options.outputs[i];
    if (!swaymsg({"output", names_[i], "mode",
                  std::to_string(o.width) + "x" + std::to_string(o.height), "position",
                  std::to_string(o.x), std::to_string(o.y), "scale", scaleText(o.scale)}) ||
        !setBackground(names_[i], o.background)) {
      whyNot = "swaymsg could not lay out " + names_[i];
      return false;
    }
  }
  // The layout holds once every output shows its place and scale.
  const bool settled = waitUntil([&] {
    auto list = outputsJson();
    if (!list) return false;
    for (std::size_t i = 0; i < options.outputs.size(); ++i) {
      const SwayOutput& want = options.outputs[i];
      bool found = false;
      for (const auto& o : *list) {
        if (o["name"] != names_[i]) continue;
        const auto& r = o["rect"];
        found = r["x"] == want.x && r["y"] == want.y && o["scale"].get<double>() == want.scale &&
                o["current_mode"]["width"] == want.width;
      }
      if (!found) return false;
    }
    return true;
  });
  if (!settled) whyNot = "the outputs did not take their layout";
  return settled;
}

}  // namespace orvel::waylandtest
