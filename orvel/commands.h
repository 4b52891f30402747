// The orvel subcommands: each runs its helpers and returns the exit status (0 done, 1 failed or
// canceled); messages go to standard error, paths and text to standard output. Main thread.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "command_line.h"
#include "interrupt_signals.h"
#include "screenshot_path.h"

namespace orvel::cli {

struct CommandContext {
  std::string programFolder;  // folder of orvel's executable
  std::function<std::optional<std::string>(const char*)> environment;
  const InterruptSignals& interrupt;
};

int runRegion(const RegionOptions& options, const CommandContext& context);
int runScroll(const ScrollOptions& options, const CommandContext& context);
int runText(const TextOptions& options, const CommandContext& context);
int runAutostart(const AutostartOptions& options);

}  // namespace orvel::cli
