// Feeds arbitrary bytes to the region-capture helper as its standard input: every line goes
// through the line reader and the request dispatcher on a sim desktop. Nothing may crash or hang,
// and every reply must be one JSON object carrying "id" and "ok". No drag is ever made, so no
// capture writes a file wherever an input's path points.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "platform/sim/sim_input_shield.h"
#include "region_capture_helper.h"
#include "sim_stage.h"

using namespace orvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::SimStage stage;
  auto& [clock, loop, desktop, overlay] = stage;
  sim::SimInputShield shield;
  desktop.addApplication(600, "host");
  desktop.addApplication(700, "helper");
  desktop.setDisplays({{1, {0, 0, 64, 48}, 1}, {2, {64, 0, 64, 48}, 2}});
  region::RegionCaptureHelper helper(
      loop, {desktop, desktop, desktop, overlay, shield},
      {[](std::string_view line) {
         auto reply = parseJson(line);
         if (!reply || !reply->is_object() || !reply->contains("id") || !reply->contains("ok")) {
           std::abort();
         }
       },
       [](std::string_view) {},
       [](const char*) { return std::optional<std::string>(); },
       {700, [] { return 600; }}});
  helper.start();
  loop.runUntilIdle();

  stage.feedLines(
      data, size,
      [&](const LineReader::Result& line) {
        if (line.kind == LineReader::Kind::End) {
          helper.endOfInput();
        } else if (line.kind == LineReader::Kind::Line) {
          helper.receiveLine(line.text);
        }
      },
      [&] { return helper.exitStatus().has_value(); });
  return 0;
}
