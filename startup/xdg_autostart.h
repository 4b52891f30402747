// The main application's login item as an XDG autostart entry:
// <config home>/autostart/<id>.desktop, where <id> comes from the executable's file name.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "platform/login_items.h"
#include "startup/xdg_environment.h"

namespace orvel::startup {

class DesktopEntry;

class XdgAutostart final : public platform::LoginItems {
 public:
  explicit XdgAutostart(XdgEnvironment environment);

  // The file name with every character other than A-Z, a-z, 0-9, '-' and '_' replaced by '_',
  // so that it is a valid desktop file id on every desktop.
  static std::string entryIdFor(const std::filesystem::path& executable);

  // Nothing when the executable or the configuration folder is unknown.
  std::optional<std::filesystem::path> entryPath() const;

  platform::LoginItemStatus status() const override;
  // Writes Type, Name (when missing) and Exec into the entry, keeping every other line of an
  // existing one, so an entry the user turned off stays off.
  std::optional<platform::LoginItemError> registerItem() override;
  std::optional<platform::LoginItemError> unregisterItem() override;

 private:
  std::optional<platform::LoginItemError> unknownEntryError() const;
  bool isTurnedOff(const DesktopEntry& entry) const;

  XdgEnvironment environment_;
};

}  // namespace orvel::startup
