#include "platform/kde/kwin_script.h"

#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>

namespace orvel::kde {

namespace {

const dbus::DbusTarget kScripting{"org.kde.KWin", "/Scripting", "org.kde.kwin.Scripting"};

std::string scriptFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime && *runtime == '/' ? runtime : "/tmp";
}

bool isMissingObject(const std::string& error) {
  return error.starts_with("org.freedesktop.DBus.Error.UnknownObject") ||
         error.starts_with("org.freedesktop.DBus.Error.UnknownMethod");
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

Task<Expected<void, Failure>> KWinScript::runLoaded(std::int32_t id, Duration deadline) {
  // Plasma 6 names the script's object under /Scripting, KWin 5 by its number alone.
  const std::array<std::string, 2> paths{"/Scripting/Script" + std::to_string(id),
                                         "/" + std::to_string(id)};
  for (const std::string& path : paths) {
    dbus::DbusMessage request = bus_.newCall({"org.kde.KWin", path, "org.kde.kwin.Script"}, "run");
    if (!request) co_return failed("Cannot ask KWin to run a script.");
    auto reply = co_await bus_.call(std::move(request), deadline);
    if (reply) co_return Expected<void, Failure>();
    if (!isMissingObject(reply.error().description)) co_return unexpected(std::move(reply).error());
  }
  co_return failed("KWin offers no object for the script " + name_ + ".");
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
  // Run through the script's own object, whose answer comes only once KWin has read the file, so
  // the file can go at once and a helper killed later leaves none behind.
  auto running = runLoaded(id, deadline);
  auto ran = co_await running;
  removeFile();
  co_return ran;
}

}  // namespace orvel::kde
