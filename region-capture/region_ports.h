// What the region-capture helper needs from the desktop and the process around it.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "capture_filters.h"
#include "platform/input_shield.h"
#include "platform/overlay.h"
#include "platform/permissions.h"
#include "platform/screen_capture.h"
#include "platform/screens.h"
#include "trace.h"

namespace orvel::region {

struct RegionPorts {
  platform::Screens& screens;
  platform::Permissions& permissions;
  platform::ScreenCapture& capture;
  platform::Overlay& overlay;
  platform::InputShield& shield;
};

struct HelperIo {
  // One reply line, without its line feed, written as one unit.
  std::function<void(std::string_view line)> writeReply;
  // One trace line with its line feed; called from more than one thread.
  LineSink writeTrace;
  EnvironmentLookup environment;
  ProcessIds pids;
};

}  // namespace orvel::region
