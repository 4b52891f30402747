// The desktop services the scroll-capture helper works through.
#pragma once

#include "content_bounds.h"
#include "platform/key_state.h"
#include "platform/overlay.h"
#include "platform/permissions.h"
#include "platform/screen_capture.h"
#include "platform/screens.h"
#include "platform/scroll_events.h"
#include "platform/window_server.h"
#include "platform/workspace.h"

namespace orvel::scroll {

struct ScrollPorts {
  platform::Screens& screens;
  platform::Permissions& permissions;
  platform::KeyState& keys;
  platform::WindowServer& windowServer;
  platform::Workspace& workspace;
  ContentBoundsReader& contentBounds;
  platform::ScreenCapture& capture;
  platform::Overlay& overlay;
  platform::ScrollEvents& scrollEvents;
};

}  // namespace orvel::scroll
