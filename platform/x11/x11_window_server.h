// The WindowServer port on X11: the window list as window dictionaries, front-most first, with
// bounds in global display coordinates. Levels: normal 0, always-on-top 3, docks and panels 20,
// notifications 21, menus, tooltips and other override-redirect windows 101, the helpers' overlays
// the level they were created with. Reads go through a WindowListCache when one is given, else
// straight to the connection. Main thread only.
#pragma once

#include "platform/window_server.h"
#include "platform/x11/window_list.h"
#include "platform/x11/window_list_cache.h"
#include "platform/x11/x11_screens.h"

namespace orvel::x11 {

class X11WindowServer final : public platform::WindowServer {
 public:
  X11WindowServer(X11Connection& connection, X11Screens& screens, WindowListCache* cache = nullptr)
      : connection_(connection), screens_(screens), cache_(cache) {}

  Json onScreenWindows() override;
  std::int64_t cursorLevel() override { return kCursorLevel; }
  std::int64_t dockLevel() override { return kDockLevel; }

 private:
  X11Connection& connection_;
  X11Screens& screens_;
  WindowListCache* cache_;
};

// One record as a window dictionary (platform::windowDictionary); the record's name moves into it.
Json windowDictionary(WindowRecord record, const MonitorLayout& layout);

}  // namespace orvel::x11
