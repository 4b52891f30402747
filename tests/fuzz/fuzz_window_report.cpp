// Feeds arbitrary text to the reading of the window reports that KWin's script and GNOME Shell's
// extension send the scroll helper over D-Bus. Every window kept must carry an id, a finite
// non-negative frame, an owner that a process can have, a caption that encodes as JSON again, and
// the list must be front-most first.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "orvel/common/json_text.h"
#include "platform/linux/window_report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto windows = orvel::platform::parseWindowReport(
      std::string_view(reinterpret_cast<const char*>(data), size));
  if (!windows) return 0;
  if (windows->size() > orvel::platform::kMaxReportedWindows) std::abort();
  for (std::size_t i = 0; i < windows->size(); ++i) {
    const auto& w = (*windows)[i];
    if (w.id.empty() || !w.frame.isFinite() || w.frame.width < 0 || w.frame.height < 0)
      std::abort();
    if (w.pid && *w.pid <= 0) std::abort();
    if (w.caption.size() > orvel::platform::kMaxCaptionBytes ||
        !orvel::encodeJson(orvel::Json(w.caption)))
      std::abort();
    if (i > 0 && (*windows)[i - 1].stacking < w.stacking) std::abort();
  }
  return 0;
}
