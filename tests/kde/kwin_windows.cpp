#include "kwin_windows.h"

#include <signal.h>

#include "orvel/common/json_text.h"
#include "rig_support.h"

namespace orvel::kdetest {

using namespace std::chrono_literals;

KWinWindows::KWinWindows(const KWinRig& rig)
    : rig_(rig), process_(rig.spawn({ORVEL_KDE_WINDOW_LIST, ORVEL_WINDOW_LIST_SCRIPT})) {
  ready_ = process_ && process_->readLine(20s) == "ready";
}

Json KWinWindows::list() {
  if (!process_->write("list\n")) return Json();
  const auto line = process_->readLine(10s);
  return line ? parseJson(*line).value_or(Json()) : Json();
}

Json KWinWindows::windowOf(int pid) {
  Json found;
  testsupport::waitUntil(
      [&] {
        for (const Json& w : list())
          if (w.value("pid", 0) == pid) found = w;
        return !found.is_null();
      },
      20s);
  return found;
}

bool kwinScriptLoaded(const KWinRig& rig, const std::string& name) {
  std::string out;
  rig.run({"dbus-send", "--session", "--print-reply", "--dest=org.kde.KWin", "/Scripting",
           "org.kde.kwin.Scripting.isScriptLoaded", "string:" + name},
          &out, 10s);
  return out.find("boolean true") != std::string::npos;
}

bool KWinWindows::scriptLoaded(const std::string& name) {
  return kwinScriptLoaded(rig_, name + "-" + std::to_string(process_->pid()));
}

bool KWinWindows::command(const std::string& line) {
  return process_->write(line + "\n") && process_->readLine(10s) == "ok";
}

bool KWinWindows::activate(int number) {
  return command("activate " + std::to_string(number));
}

bool KWinWindows::place(int number, int x, int y, int width, int height, bool above) {
  return command("place " + std::to_string(number) + " " + std::to_string(x) + " " +
                 std::to_string(y) + " " + std::to_string(width) + " " + std::to_string(height) +
                 (above ? " above" : ""));
}

bool KWinWindows::kill() {
  return ::kill(process_->pid(), SIGKILL) == 0 && process_->wait(10s).has_value();
}

}  // namespace orvel::kdetest
