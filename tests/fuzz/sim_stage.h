// Where a helper meets a fuzz input: virtual time, its event loop, a sim desktop and the desktop's
// overlay, and the input read as the helper reads its standard input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "memory_file.h"
#include "orvel/common/clock.h"
#include "orvel/common/event_loop.h"
#include "orvel/common/line_reader.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/sim_overlay.h"

namespace orvel::fuzz {

struct SimStage {
  ManualClock clock;
  EventLoop loop{clock};
  sim::SimDesktop desktop;
  sim::SimOverlay overlay{desktop};

  // Reads `data` as standard input, line by line, handing each line, and the end, to `deliver`
  // and running the loop after each, until the end or until `done()`.
  template <class Deliver, class Done>
  void feedLines(const std::uint8_t* data, std::size_t size, Deliver deliver, Done done) {
    const MemoryFile input(data, size, "stdin");
    if (input.fd() < 0) return;
    LineReader reader(input.fd());
    for (;;) {
      const auto line = reader.next();
      deliver(line);
      loop.runUntilIdle();
      if (line.kind == LineReader::Kind::End || done()) return;
    }
  }
};

}  // namespace orvel::fuzz
