#include "orvel/common/program_info.h"

#include <cstdio>
#include <string>

namespace orvel {

std::optional<int> answerInfoOption(int argc, const char* const* argv, const ProgramInfo& info) {
  if (argc != 2) return std::nullopt;
  const std::string_view option = argv[1];
  std::string text;
  if (option == "--help") {
    text = info.usage;
  } else if (option == "--version") {
    text = std::string(info.name) + " " + std::string(projectVersion()) + "\n";
  } else {
    return std::nullopt;
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  return written && std::fflush(stdout) == 0 ? 0 : 1;
}

std::string_view projectVersion() {
  return ORVEL_VERSION;
}

}  // namespace orvel
