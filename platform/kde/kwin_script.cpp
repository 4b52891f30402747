#include "platform/kde/kwin_script.h"

#include <stdlib.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace orvel::kde {

namespace {

const dbus::DbusTarget kScripting{"org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting"};

std::string scriptFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime && *runtime == '/' ? runtime : "/tmp";
}

}  // namespace

KWinScript::KWinScript(dbus::DbusConnection& bus, const std::string& name)
    : bus_(bus), name_(name + "-" + std::to_string(::getpid())) {}

KWinScript::~KWinScript() {
  if (loaded_ && !bus_.lost()) {
    // Sent without waiting for the answer: the helper is ending.
    dbus::DbusMessage request = bus_.newCall(kScripting, "unloadScript");
    if (request && sd_bus_message_append(request.get(), "s", name_.c_str()) >= 0) {
      sd_bus_message_set_expect_reply(request.get(), 0);
      if (sd_bus_send(bus_.raw(), request.get(), nullptr) >= 0) sd_bus_flush(bus_.raw());
    }
  }
  removeFile();
}

void KWinScript::removeFile() {
  if (!file_.empty()) ::unlink(file_.c_str());
  file_.clear();
}

Task<Expected<void, Failure>> KWinScript::unload(Duration deadline) {
  if (!loaded_) co_return Expected<void, Failure>();
  dbus::DbusMessage request = bus_.newCall(kScripting, "unloadScript");
  if (!request || sd_bus_message_append(request.get(), "s", name_.c_str()) < 0)
    co_return failed("Cannot ask KWin to unload a script.");
  auto reply = co_await bus_.call(std::move(request), deadline);
  if (!reply) co_return unexpected(std::move(reply).error());
  loaded_ = false;
  co_return Expected<void, Failure>();
}

Task<Expected<void, Failure>> KWinScript::run(std::string text, Duration deadline) {
  auto unloading = unload(deadline);
  auto unloaded = co_await unloading;
  if (!unloaded) co_return unloaded;
  removeFile();
  std::string path = scriptFolder() + "/orvel-" + name_ + "-XXXXXX.js";
  const int fd = ::mkstemps(path.data(), 3);
  if (fd < 0) co_return failed("Cannot write a script for KWin in " + scriptFolder() + ".");
  ::close(fd);
  file_ = path;
  {
    std::ofstream out(file_, std::ios::trunc);
    out << text;
    if (!out.flush()) co_return failed("Cannot write a script for KWin at " + file_ + ".");
  }
  dbus::DbusMessage load = bus_.newCall(kScripting, "loadScript");
  if (!load || sd_bus_message_append(load.get(), "ss", file_.c_str(), name_.c_str()) < 0)
    co_return failed("Cannot ask KWin to load a script.");
  auto loadedReply = co_await bus_.call(std::move(load), deadline);
  if (!loadedReply) co_return unexpected(std::move(loadedReply).error());
  std::int32_t id = -1;
  if (sd_bus_message_read(loadedReply->get(), "i", &id) < 0 || id < 0)
    co_return failed("KWin refused to load the script " + file_ + ".");
  loaded_ = true;
  // Starts every script loaded and not yet running: this one.
  dbus::DbusMessage start = bus_.newCall(kScripting, "start");
  auto started = co_await bus_.call(std::move(start), deadline);
  if (!started) co_return unexpected(std::move(started).error());
  co_return Expected<void, Failure>();
}

}  // namespace orvel::kde
