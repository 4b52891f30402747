#include "platform/kde/kwin_window_list.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace orvel::kde {

namespace {

using namespace std::chrono_literals;

constexpr auto kActivationDeadline = 2s;
constexpr std::size_t kMaxScriptBytes = 1 << 20;
constexpr const char* kScriptFile = "orvel/kwin/window-list.js";

std::optional<std::string> readScript(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(kMaxScriptBytes + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.empty() || text.size() > kMaxScriptBytes) return std::nullopt;
  return text;
}

bool onlyOf(const std::string& text, std::string_view allowed) {
  return !text.empty() && text.find_first_not_of(allowed) == std::string::npos;
}

bool isPluginName(const std::string& name) {
  return name.size() <= 128 &&
         onlyOf(name, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789-");
}

void replaceAll(std::string& text, const std::string& word, const std::string& by) {
  for (auto at = text.find(word); at != std::string::npos; at = text.find(word, at + by.size()))
    text.replace(at, word.size(), by);
}

}  // namespace

std::optional<std::string> findWindowListScript() {
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  // Installed, the helper is in libexec/orvel beside share; built, its folder is beside the
  // build's share.
  if (!ec) {
    for (const char* data : {"../../share", "../share"}) {
      if (auto text = readScript(self.parent_path() / data / kScriptFile)) return text;
    }
  }
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  std::stringstream list(dirs && *dirs ? dirs : "/usr/local/share:/usr/share");
  for (std::string dir; std::getline(list, dir, ':');) {
    if (dir.empty() || dir.front() != '/') continue;
    if (auto text = readScript(std::filesystem::path(dir) / kScriptFile)) return text;
  }
  return std::nullopt;
}

std::optional<std::string> windowListScriptFor(const std::string& scriptTemplate,
                                               const std::string& busName,
                                               const std::string& scriptName) {
  if (busName.size() < 2 || busName.front() != ':' || !onlyOf(busName.substr(1), "0123456789.") ||
      !isPluginName(scriptName))
    return std::nullopt;
  std::string text = scriptTemplate;
  replaceAll(text, kHelperBusNamePlaceholder, busName);
  replaceAll(text, kScriptNamePlaceholder, scriptName);
  return text;
}

std::optional<std::string> activationScriptFor(const std::string& id,
                                               const std::string& scriptName) {
  if (id.size() > 64 || !onlyOf(id, "0123456789abcdefABCDEF{}-") || !isPluginName(scriptName))
    return std::nullopt;
  return "var clients = workspace.clientList();\n"
         "for (var i = 0; i < clients.length; ++i) {\n"
         "  if (clients[i].internalId.toString() === \"" +
         id +
         "\") {\n"
         "    workspace.activeClient = clients[i];\n"
         "    break;\n"
         "  }\n"
         "}\n"
         "callDBus(\"org.kde.KWin\", \"/Scripting\", \"org.kde.kwin.Scripting\", "
         "\"unloadScript\", \"" +
         scriptName + "\");\n";
}

KWinWindowList::KWinWindowList(dbus::DbusConnection& bus)
    : bus_(bus), script_(bus, "orvel-window-list"), activation_(bus, "orvel-activate") {}

KWinWindowList::~KWinWindowList() {
  sd_bus_slot_unref(object_);
}

Task<Expected<void, Failure>> KWinWindowList::start(std::string scriptTemplate, Duration deadline) {
  const char* unique = nullptr;
  if (sd_bus_get_unique_name(bus_.raw(), &unique) < 0 || !unique)
    co_return failed("The session bus gave this helper no name.");
  const auto script = windowListScriptFor(scriptTemplate, unique, script_.name());
  if (!script) co_return failed("The session bus gave this helper an unexpected name.");
  dbus::DbusMessage ask = bus_.newCall(
      {"org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus"}, "GetNameOwner");
  if (!ask || sd_bus_message_append(ask.get(), "s", "org.kde.KWin") < 0)
    co_return failed("Cannot ask the session bus for KWin.");
  auto owner = co_await bus_.call(std::move(ask), deadline);
  if (!owner) co_return unexpected(std::move(owner).error());
  const char* name = nullptr;
  if (sd_bus_message_read(owner->get(), "s", &name) < 0 || !name)
    co_return failed("The session bus did not name KWin's connection.");
  kwinName_ = name;
  // sd-bus hands `this` to the handler as its userdata.
  static const sd_bus_vtable vtable[] = {
      SD_BUS_VTABLE_START(0),
      SD_BUS_METHOD("Report", "s", "", &KWinWindowList::onReport, SD_BUS_VTABLE_UNPRIVILEGED),
      SD_BUS_VTABLE_END,
  };
  if (!object_ && sd_bus_add_object_vtable(bus_.raw(), &object_, kWindowListPath,
                                           kWindowListInterface, vtable, this) < 0) {
    co_return failed("Cannot offer the window list's object on the session bus.");
  }
  // Named: GCC 12 destroys temporaries of a co_await expression twice.
  auto run = script_.run(*script, deadline);
  co_return co_await run;
}

int KWinWindowList::onReport(sd_bus_message* m, void* userdata, sd_bus_error* error) {
  auto* self = static_cast<KWinWindowList*>(userdata);
  const char* sender = sd_bus_message_get_sender(m);
  if (!sender || self->kwinName_ != sender)
    return sd_bus_error_set_const(error, SD_BUS_ERROR_ACCESS_DENIED, "Only KWin reports windows.");
  const char* text = nullptr;
  if (sd_bus_message_read(m, "s", &text) < 0 || !text)
    return sd_bus_error_set_const(error, SD_BUS_ERROR_INVALID_ARGS, "A report is one string.");
  auto windows = parseWindowReport(text);
  if (!windows)
    return sd_bus_error_set_const(error, SD_BUS_ERROR_INVALID_ARGS, "Not a window report.");
  self->take(std::move(*windows));
  return sd_bus_reply_method_return(m, "");
}

void KWinWindowList::take(std::vector<KWinWindow> windows) {
  std::map<std::string, std::uint32_t> numbers;
  for (const KWinWindow& w : windows) {
    const auto known = numbers_.find(w.id);
    numbers.emplace(w.id, known != numbers_.end() ? known->second : nextNumber_++);
  }
  numbers_ = std::move(numbers);
  windows_ = std::move(windows);
  ++reports_;
}

std::uint32_t KWinWindowList::numberOf(const std::string& id) const {
  const auto it = numbers_.find(id);
  return it == numbers_.end() ? 0 : it->second;
}

const KWinWindow* KWinWindowList::findNumber(std::uint32_t number) const {
  if (!windows_) return nullptr;
  const auto it = std::find_if(windows_->begin(), windows_->end(),
                               [&](const KWinWindow& w) { return numberOf(w.id) == number; });
  return it == windows_->end() ? nullptr : &*it;
}

void KWinWindowList::activate(const std::string& id) {
  pendingActivation_ = id;
  if (activating_) return;
  activating_ = true;
  spawn(bus_.loop(), runActivations());
}

Task<> KWinWindowList::runActivations() {
  // One at a time: each replaces the script of the one before.
  while (pendingActivation_) {
    const auto script = activationScriptFor(*pendingActivation_, activation_.name());
    pendingActivation_.reset();
    if (!script) continue;
    auto run = activation_.run(*script, kActivationDeadline);
    // A failed activation shows as the focus staying where it was.
    [[maybe_unused]] auto ran = co_await run;
  }
  activating_ = false;
}

}  // namespace orvel::kde
