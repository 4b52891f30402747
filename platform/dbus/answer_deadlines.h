// How long the desktop's own D-Bus services (mutter's, KWin's) may take to answer the backends'
// calls: generous for a loaded machine (a debug build, the shell drawing in software, both cores
// busy), still bounded, so that a service that never answers becomes a failure rather than a hang.
#pragma once

#include <chrono>

#include "orvel/common/clock.h"

namespace orvel::dbus {

// A call the service answers at once: a probe, an input event.
inline constexpr Duration kPromptAnswerDeadline = std::chrono::seconds(2);
// A call answered once the compositor has drawn or set something up: a screenshot, a screen
// cast's first frames, a remote-desktop session.
inline constexpr Duration kDrawnAnswerDeadline = std::chrono::seconds(5);

}  // namespace orvel::dbus
