// Feeds arbitrary text to the reading of sway's layout tree, as it comes from the compositor's IPC
// socket. Every view listed must carry a finite, non-negative frame, an owner that a process can
// have, and texts that encode as JSON again.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "orvel/common/json_text.h"
#include "platform/wayland/sway_tree.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto views =
      orvel::wayland::parseShownViews(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!views) return 0;
  for (const auto& v : *views) {
    if (!v.frame.isFinite() || v.frame.width < 0 || v.frame.height < 0) std::abort();
    if (v.pid && *v.pid <= 0) std::abort();
    for (const auto* text : {&v.title, &v.appID})
      if (*text && !orvel::encodeJson(orvel::Json(**text))) std::abort();
  }
  return 0;
}
