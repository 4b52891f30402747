// The orvel command line, read into what to do. Pure logic, no I/O; any thread.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"

namespace orvel::cli {

// The tallest page a scrolling capture writes: cairo, which many viewers draw pictures with, takes
// pictures of at most 32767 rows.
inline constexpr int kMaxPageHeight = 32767;

struct RegionOptions {
  std::optional<std::string> output;  // "-": standard output; none: the default screenshot path
  bool copy = false;                  // the PNG also on the clipboard
};

struct ScrollOptions {
  std::optional<std::string> output;
  int maxHeight = kMaxPageHeight;
  bool copy = false;
};

struct TextOptions {
  std::string language = "system";
  bool json = false;
  bool copy = false;
  std::optional<std::string> image;  // none: a region capture first
};

struct AutostartOptions {
  enum class Action { kOn, kOff, kStatus };
  Action action = Action::kStatus;
};

struct HelpRequest {};
struct VersionRequest {};

using Command = std::variant<HelpRequest, VersionRequest, RegionOptions, ScrollOptions, TextOptions,
                             AutostartOptions>;

// The arguments after the program's name; the failure says what is wrong, for a usage error.
Expected<Command, Failure> parseCommandLine(const std::vector<std::string>& arguments);

// `orvel --help`: usage with examples.
const char* usageText();

}  // namespace orvel::cli
