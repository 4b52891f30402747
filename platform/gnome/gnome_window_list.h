// GNOME Shell's windows as Orvel's extension reports them (share/extension/helper-windows.js):
// the extension owns kExtensionBusName on the session bus and answers GetWindows with a report
// (platform/linux/window_report.h) to the installed helpers only, announcing every change with a
// WindowsChanged signal that carries nothing. The list asks for a report when it starts, when the
// extension appears on the bus and after each signal of the extension's connection (one question
// at a time, one more when signals came meanwhile), and keeps the latest; windows are numbered as
// platform/linux/reported_window_list.h says. Activation asks the extension to activate a window
// and does not wait for it.
//
// Unreadable, with what to do, while the extension is not on the bus or refused this helper; the
// windows are forgotten when the extension leaves the bus. Loop thread of `bus` only; `bus` must
// outlive this object.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"
#include "platform/linux/reported_window_list.h"

namespace orvel::gnome {

inline constexpr const char* kExtensionUuid = "orvel-helpers@orvel.invalid";
inline constexpr const char* kExtensionBusName = "org.orvel.Helpers";
inline constexpr const char* kExtensionWindowsPath = "/org/orvel/Helpers/Windows";
inline constexpr const char* kExtensionWindowsInterface = "org.orvel.Helpers.Windows";
// A report longer than this is refused unread.
inline constexpr std::size_t kMaxReportBytes = 8 << 20;

inline constexpr const char* kExtensionNotEnabled =
    "Cannot read the window list: Orvel's GNOME Shell extension is not running. Enable it with "
    "`gnome-extensions enable orvel-helpers@orvel.invalid`, then log out and in (GNOME Shell 43 "
    "finds a newly installed extension only at login).";
inline constexpr const char* kExtensionRefused =
    "Cannot read the window list: Orvel's GNOME Shell extension answers only the helpers installed "
    "with it";
inline constexpr const char* kExtensionUnasked =
    "Cannot read the window list: the session bus did not let this helper ask Orvel's GNOME "
    "Shell extension";

class GnomeWindowList final : public platform::ReportedWindowList {
 public:
  explicit GnomeWindowList(dbus::DbusConnection& bus) : bus_(bus) {}
  ~GnomeWindowList() override { *alive_ = false; }
  GnomeWindowList(const GnomeWindowList&) = delete;
  GnomeWindowList& operator=(const GnomeWindowList&) = delete;

  // Subscribes to the extension's signal and to its bus name, and asks whether it is there; fails
  // when the bus refuses. The first report arrives on a later turn.
  Task<Expected<void, Failure>> start(Duration deadline);

  void activate(const std::string& id) override;
  std::optional<std::string> whyUnreadable() const override;
  void startFailed(const std::string& why) override;

 private:
  enum class State { kAsking, kAbsent, kRefused, kFailed, kAnswering };

  void ownerIs(std::string owner);
  void refresh();
  Task<> runRefreshes(std::shared_ptr<bool> alive);

  dbus::DbusConnection& bus_;
  dbus::DbusSubscription ownerChanges_;
  dbus::DbusSubscription windowChanges_;
  std::string owner_;  // the extension's unique bus name; empty while it is not on the bus
  State state_ = State::kAsking;
  std::string refusal_;
  bool refreshing_ = false;
  bool again_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace orvel::gnome
