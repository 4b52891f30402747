#include "startup/xdg_autostart.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>
#include <vector>

#include "startup/desktop_entry.h"
#include "startup/exec_quoting.h"
#include "startup/file_system.h"
#include "startup/startup_messages.h"

namespace orvel::startup {
namespace {

using platform::LoginItemError;
using platform::LoginItemStatus;

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  while (!text.empty()) {
    const std::size_t end = text.find(separator);
    if (end != 0) parts.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return parts;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// X-GNOME-Autostart-enabled and its kin on other desktops (X-MATE-Autostart-enabled, ...).
bool isAutostartEnabledKey(std::string_view key) {
  constexpr std::string_view kSuffix = "-Autostart-enabled";
  return key.size() > kSuffix.size() + 2 && equalsIgnoringCase(key.substr(0, 2), "X-") &&
         equalsIgnoringCase(key.substr(key.size() - kSuffix.size()), kSuffix);
}

bool isFalse(std::string_view value) {
  return value == "false" || value == "0";
}

}  // namespace

XdgAutostart::XdgAutostart(XdgEnvironment environment) : environment_(std::move(environment)) {}

std::string XdgAutostart::entryIdFor(const std::filesystem::path& executable) {
  std::string id = executable.filename().string();
  // Plain ASCII tests: the host's locale must not change the name.
  for (char& c : id) {
    const bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
    if (!kept) c = '_';
  }
  return id;
}

std::optional<std::filesystem::path> XdgAutostart::entryPath() const {
  if (!environment_.executable || !environment_.configHome) return std::nullopt;
  return *environment_.configHome / "autostart" /
         (entryIdFor(*environment_.executable) + ".desktop");
}

std::optional<LoginItemError> XdgAutostart::unknownEntryError() const {
  if (!environment_.executable) return LoginItemError{std::string(kUnknownExecutable)};
  if (!environment_.configHome) return LoginItemError{std::string(kUnknownConfigFolder)};
  return std::nullopt;
}

bool XdgAutostart::isTurnedOff(const DesktopEntry& entry) const {
  if (entry.boolean("Hidden") == true) return true;
  for (const auto& [key, value] : entry.entries()) {
    if (isAutostartEnabledKey(key) && isFalse(value)) return true;
  }
  const auto desktops = split(environment_.currentDesktop, ':');
  const auto listsCurrentDesktop = [&](const std::string& list) {
    const auto listed = split(list, ';');
    return std::any_of(desktops.begin(), desktops.end(), [&](std::string_view desktop) {
      return std::find(listed.begin(), listed.end(), desktop) != listed.end();
    });
  };
  if (const auto only = entry.value("OnlyShowIn"); only && !listsCurrentDesktop(*only)) {
    return true;
  }
  if (const auto notIn = entry.value("NotShowIn"); notIn && listsCurrentDesktop(*notIn)) {
    return true;
  }
  return false;
}

LoginItemStatus XdgAutostart::status() const {
  const auto path = entryPath();
  if (!path) return LoginItemStatus::kNotFound;
  // Anything but a regular file of sane size, or a file without a [Desktop Entry] group, is no
  // entry of ours.
  const auto file = readEntryFile(*path);
  if (file.kind != EntryFile::Kind::Text) return LoginItemStatus::kNotRegistered;
  const auto entry = DesktopEntry::parse(file.text);
  if (!entry) return LoginItemStatus::kNotRegistered;
  return isTurnedOff(*entry) ? LoginItemStatus::kRequiresApproval : LoginItemStatus::kEnabled;
}

std::optional<LoginItemError> XdgAutostart::registerItem() {
  if (auto error = unknownEntryError()) return error;
  const std::filesystem::path& executable = *environment_.executable;
  const auto exec = execValueFor(executable.string());
  if (!exec) return LoginItemError{pathCannotBeWritten(executable)};

  const std::filesystem::path path = *entryPath();
  if (auto error = makeFolders(path.parent_path())) return error;

  // Only our own regular file is kept line by line; a link or anything else at that name is
  // replaced, never copied (it may lead to another file).
  std::optional<DesktopEntry> entry;
  if (const auto file = readEntryFile(path); file.kind == EntryFile::Kind::Text)
    entry = DesktopEntry::parse(file.text);
  if (!entry) entry = DesktopEntry::empty();
  entry->set("Type", "Application");
  if (!entry->value("Name")) entry->set("Name", escapeStringValue(executable.filename().string()));
  entry->set("Exec", *exec);
  return replaceFile(path, entry->text());
}

std::optional<LoginItemError> XdgAutostart::unregisterItem() {
  if (auto error = unknownEntryError()) return error;
  return removeFile(*entryPath());
}

}  // namespace orvel::startup
