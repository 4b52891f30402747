// The two options that every helper answers before its own protocol starts:
//   --help     the usage text on standard output
//   --version  "<name> <version>" on standard output
#pragma once

#include <optional>
#include <string_view>

namespace orvel {

struct ProgramInfo {
  std::string_view name;   // the executable's name, as users type it
  std::string_view usage;  // the usage text, ending with a line feed
};

// When the command line is exactly `--help` or `--version`, answers it and returns the exit
// status (0, or 1 when standard output cannot be written); otherwise returns nothing and the
// program goes on with its arguments.
std::optional<int> answerInfoOption(int argc, const char* const* argv, const ProgramInfo& info);

// The version of this build, such as "0.1.0".
std::string_view projectVersion();

}  // namespace orvel
