// Opens a helper's desktop: the first row of the backend table, among those its environment
// chooses (platform/backend_choice.h), whose desktop opens. That desktop answers through the null
// desktop once its display goes away; with no row opened, the null desktop answers from the start.
// Call on the loop thread, once, in main.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "orvel/common/event_loop.h"
#include "platform/region_desktop.h"
#include "platform/scroll_desktop.h"

namespace orvel::platform {

// What the table reads of the process environment; null pointers are unset variables.
struct BackendEnvironment {
  const char* forcedBackend = nullptr;   // $ORVEL_BACKEND
  const char* waylandDisplay = nullptr;  // $WAYLAND_DISPLAY
};

template <class Desktop>
struct OpenedDesktop {
  std::unique_ptr<Desktop> desktop;  // never null
  bool usable = false;               // false: the null desktop
  // For the log: a wrong $ORVEL_BACKEND, and why each row tried declined ("X11: no display
  // answers at DISPLAY").
  std::vector<std::string> notes;
};

OpenedDesktop<RegionDesktop> openRegionDesktop(EventLoop& loop, const BackendEnvironment& env);
OpenedDesktop<ScrollDesktop> openScrollDesktop(EventLoop& loop, const BackendEnvironment& env);

// This process's own $ORVEL_BACKEND and $WAYLAND_DISPLAY.
BackendEnvironment processBackendEnvironment();

// What opening said, as `program`'s log lines on standard error: each note, then `whenUnusable`
// when no row opened.
template <class Desktop>
void logOpening(const char* program, const OpenedDesktop<Desktop>& opened,
                const char* whenUnusable) {
  for (const auto& note : opened.notes)
    std::fprintf(stderr, "%s: %s\n", program, note.c_str());
  if (!opened.usable) std::fprintf(stderr, "%s: %s\n", program, whenUnusable);
}

}  // namespace orvel::platform
