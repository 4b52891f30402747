// Feeds arbitrary bytes to the scroll-capture helper as its standard input: every line goes
// through the line reader and the dispatcher on a sim desktop. Nothing may crash or hang, and
// every reply must be one parseable JSON line.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "platform/sim/sim_accessibility.h"
#include "platform/sim/sim_scroll_events.h"
#include "scroll_capture_helper.h"
#include "sim_stage.h"

using namespace orvel;

namespace {
class CheckingChannel : public ReplyChannel {
 public:
  bool write(std::string_view line, std::span<const std::uint8_t> payload) override {
    auto reply = parseJson(line);
    if (!reply || !reply->is_object() || !reply->contains("ok")) std::abort();
    if (!payload.empty() && (*reply)["length"] != payload.size()) std::abort();
    return true;
  }
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SimStage stage;
  auto& [clock, loop, desktop, overlay] = stage;
  sim::SimAccessibility accessibility;
  sim::SimScrollEvents scrollEvents;
  scroll::AccessibilityContentBounds content({accessibility, desktop, desktop, clock});
  desktop.addApplication(100, "org.example.reader");
  desktop.addWindow(10, 100, {100, 100, 800, 600}, 0, 1.0, "Page");
  desktop.frontmost = 100;
  CheckingChannel out;
  bool exited = false;
  scroll::ScrollCaptureHelper helper(
      loop, {desktop, desktop, desktop, desktop, desktop, content, desktop, overlay, scrollEvents},
      out, {900, 901}, [&](int) { exited = true; });

  int lines = 0;
  stage.feedLines(
      data, size,
      [&](const LineReader::Result& line) {
        helper.receive(line);
        stage.loop.runUntilIdle();
        // A drag on any overlay that came up, so selections run to their end.
        if (stage.overlay.openPanels() > 0)
          stage.overlay.drag({200.0 + lines % 7, 200}, {600, 500.0 - lines % 5});
        ++lines;
      },
      [&] { return exited; });
  return 0;
}
