// KWin's windows as its script reports them (share/window-list.js, platform/linux/window_report.h):
// the list exports an object on this helper's own session-bus connection, has KWin run the script
// with that connection's unique name written in, and keeps the latest report, which KWin sends on
// every change. Reports are taken only from KWin's own bus name. Windows are numbered as
// platform/linux/reported_window_list.h says. Activation runs a one-shot script that makes the
// named window KWin's active one. Both scripts are unloaded when the list ends.
//
// Loop thread of `bus` only; `bus` must outlive this object.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"
#include "orvel/common/task.h"
#include "platform/dbus/dbus_connection.h"
#include "platform/kde/kwin_script.h"
#include "platform/linux/reported_window_list.h"

namespace orvel::kde {

inline constexpr const char* kWindowListPath = "/org/orvel/KWinWindows";
inline constexpr const char* kWindowListInterface = "org.orvel.KWinWindows";
// The words of the installed script that stand for the helper's bus name and for the name the
// script is loaded under (with which it unloads itself once the helper is gone).
inline constexpr const char* kHelperBusNamePlaceholder = "HELPER_BUS_NAME";
inline constexpr const char* kScriptNamePlaceholder = "SCRIPT_NAME";

// The installed window-list script's text: from the helper's own place (../../share/orvel/kwin of
// an install's libexec/orvel, ../share/orvel/kwin in the build tree), else in $XDG_DATA_DIRS
// (orvel/kwin); nothing when none is found.
std::optional<std::string> findWindowListScript();

// `scriptTemplate` with the placeholders replaced by `busName` and `scriptName`; nothing when
// `busName` is not a unique bus name (":1.42") or `scriptName` not a plugin name of letters,
// digits and dashes.
std::optional<std::string> windowListScriptFor(const std::string& scriptTemplate,
                                               const std::string& busName,
                                               const std::string& scriptName);

// The one-shot script that activates the window with KWin id `id` and then has KWin unload it
// (loaded as `scriptName`), so that nothing of it outlives a helper killed outright; nothing when
// `id` is not a KWin id (a brace-enclosed UUID as KWin writes it) or `scriptName` not a plugin
// name.
std::optional<std::string> activationScriptFor(const std::string& id,
                                               const std::string& scriptName);

inline constexpr const char* kKWinScriptNotRun =
    "Cannot read the window list: KWin did not run Orvel's window list script";

class KWinWindowList final : public platform::ReportedWindowList {
 public:
  explicit KWinWindowList(dbus::DbusConnection& bus);
  ~KWinWindowList() override;
  KWinWindowList(const KWinWindowList&) = delete;
  KWinWindowList& operator=(const KWinWindowList&) = delete;

  // Exports the report object and has KWin run `scriptTemplate`'s script; fails with the reason.
  // The first report arrives on a later turn.
  Task<Expected<void, Failure>> start(std::string scriptTemplate, Duration deadline);

  // Asks KWin to activate the window `id`; the result shows in later reports.
  void activate(const std::string& id) override;
  std::optional<std::string> whyUnreadable() const override;
  // Records why the script could not be run.
  void startFailed(const std::string& why) override { scriptFailure_ = why; }

 private:
  static int onReport(sd_bus_message* m, void* userdata, sd_bus_error* error);
  Task<> runActivations();

  dbus::DbusConnection& bus_;
  sd_bus_slot* object_ = nullptr;
  std::string kwinName_;  // KWin's unique bus name, the only sender taken
  KWinScript script_;
  KWinScript activation_;
  std::string scriptFailure_;
  std::optional<std::string> pendingActivation_;
  bool activating_ = false;
};

}  // namespace orvel::kde
