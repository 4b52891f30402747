// The desktop of a helper that has no display: no screens, no windows, no keys, nothing allowed,
// panels that show nothing and receive nothing, no scroll events, an input shield that cannot be
// installed, and pictures that fail with kNoDesktopMessage. A helper wired to it keeps its
// protocol and answers every command with its refusal instead of ending. Backends hand out its
// ports for what their desktop lacks, and a desktop whose display went away answers through it.
// Stateless: any thread may call it.
#pragma once

#include <memory>

#include "platform/region_desktop.h"
#include "platform/scroll_desktop.h"

namespace orvel::platform {

inline constexpr const char* kNoDesktopMessage = "No desktop is reachable.";

class NullDesktop final : public RegionDesktop, public ScrollDesktop {
 public:
  NullDesktop();
  ~NullDesktop() override;
  NullDesktop(const NullDesktop&) = delete;
  NullDesktop& operator=(const NullDesktop&) = delete;

  Screens& screens() override;
  Permissions& permissions() override;
  KeyState& keys() override;
  WindowServer& windowServer() override;
  Workspace& workspace() override;
  WindowShapes& windowShapes() override;
  ScreenCapture& capture() override;
  Overlay& overlay() override;
  ScrollEvents& scrollEvents() override;
  InputShield& shield() override;
  // Nothing happens on a desktop that is not there.
  void onDisplayLost(Listener) override {}
  void onInputTaken(Listener) override {}

 private:
  struct Ports;
  std::unique_ptr<Ports> ports_;
};

}  // namespace orvel::platform
