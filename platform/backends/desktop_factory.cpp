#include "platform/backends/desktop_factory.h"

#include <cstdlib>

#include "platform/backend_choice.h"
#include "platform/null_desktop.h"
#include "platform/switching_desktop.h"
#if ORVEL_HAVE_WAYLAND
#include "platform/wayland/wayland_backend.h"
#endif
#if ORVEL_HAVE_KDE
#include "platform/kde/kde_backend.h"
#endif
#if ORVEL_HAVE_GNOME
#include "platform/gnome/gnome_backend.h"
#endif
#if ORVEL_HAVE_X11
#include "platform/x11/x11_backend.h"
#endif

namespace orvel::platform {

namespace {

bool isSet(const char* value) {
  return value != nullptr && *value != '\0';
}

struct BackendRow {
  const char* name;   // what $ORVEL_BACKEND calls it
  const char* label;  // for the log
  bool (*applies)(const BackendEnvironment&);
  DesktopOpening<RegionDesktop> (*openRegion)(EventLoop&);
  DesktopOpening<ScrollDesktop> (*openScroll)(EventLoop&);
};

// In the order they are tried: the compositor a Wayland session names goes before the X server
// that the same session may also run for older applications.
const std::vector<BackendRow>& backendTable() {
  static const std::vector<BackendRow> table = {
#if ORVEL_HAVE_WAYLAND
    {"wayland", "Wayland", [](const BackendEnvironment& env) { return isSet(env.waylandDisplay); },
     wayland::openRegionDesktop, wayland::openScrollDesktop},
#endif
#if ORVEL_HAVE_KDE
    // KWin: no screencopy (the row above declines it), pictures from its screenshot service.
    {"kde", "KDE Plasma", [](const BackendEnvironment& env) { return isSet(env.waylandDisplay); },
     kde::openRegionDesktop, kde::openScrollDesktop},
#endif
#if ORVEL_HAVE_GNOME
    // mutter: neither screencopy nor layer shell (the rows above decline it), pictures from its
    // ScreenCast service.
    {"gnome", "GNOME Shell",
     [](const BackendEnvironment& env) { return isSet(env.waylandDisplay); },
     gnome::openRegionDesktop, gnome::openScrollDesktop},
#endif
#if ORVEL_HAVE_X11
    {"x11", "X11", [](const BackendEnvironment&) { return true; }, x11::openRegionDesktop,
     x11::openScrollDesktop},
#endif
  };
  return table;
}

template <class Desktop, class Switching, class Open>
OpenedDesktop<Desktop> openDesktop(EventLoop& loop, const BackendEnvironment& env, Open open) {
  const auto& table = backendTable();
  std::vector<BackendCandidate> candidates;
  for (const auto& row : table)
    candidates.push_back({row.name, row.applies(env)});
  const BackendChoice choice = chooseBackends(candidates, env.forcedBackend);
  OpenedDesktop<Desktop> opened;
  if (!choice.warning.empty()) opened.notes.push_back(choice.warning);
  for (std::size_t index : choice.rows) {
    auto desktop = open(table[index], loop);
    if (desktop) {
      opened.desktop = std::make_unique<Switching>(std::move(desktop).value());
      opened.usable = true;
      return opened;
    }
    opened.notes.push_back(std::string(table[index].label) + ": " + desktop.error());
  }
  opened.desktop = std::make_unique<NullDesktop>();
  return opened;
}

}  // namespace

OpenedDesktop<RegionDesktop> openRegionDesktop(EventLoop& loop, const BackendEnvironment& env) {
  return openDesktop<RegionDesktop, SwitchingRegionDesktop>(
      loop, env, [](const BackendRow& row, EventLoop& l) { return row.openRegion(l); });
}

OpenedDesktop<ScrollDesktop> openScrollDesktop(EventLoop& loop, const BackendEnvironment& env) {
  return openDesktop<ScrollDesktop, SwitchingScrollDesktop>(
      loop, env, [](const BackendRow& row, EventLoop& l) { return row.openScroll(l); });
}

BackendEnvironment processBackendEnvironment() {
  return {std::getenv("ORVEL_BACKEND"), std::getenv("WAYLAND_DISPLAY")};
}

}  // namespace orvel::platform
