// orvel: screenshots from the terminal through the helpers' public protocols.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "orvel/common/program_info.h"

namespace {

std::string programFolder() {
  char path[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string exe(path, static_cast<std::size_t>(n));
  const auto slash = exe.rfind('/');
  return slash == std::string::npos ? "." : exe.substr(0, slash);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace orvel::cli;
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  auto command = parseCommandLine(arguments);
  if (!command) {
    std::fprintf(stderr, "%s\nTry 'orvel --help'.\n", command.error().description.c_str());
    return 2;
  }
  if (std::holds_alternative<HelpRequest>(*command)) {
    std::fputs(usageText(), stdout);
    return 0;
  }
  if (std::holds_alternative<VersionRequest>(*command)) {
    std::printf("orvel %s\n", std::string(orvel::projectVersion()).c_str());
    return 0;
  }
  const InterruptSignals interrupt;
  const CommandContext context{programFolder(),
                               [](const char* key) -> std::optional<std::string> {
                                 const char* value = std::getenv(key);
                                 if (!value) return std::nullopt;
                                 return std::string(value);
                               },
                               interrupt};
  if (auto* o = std::get_if<RegionOptions>(&*command)) return runRegion(*o, context);
  if (auto* o = std::get_if<ScrollOptions>(&*command)) return runScroll(*o, context);
  if (auto* o = std::get_if<TextOptions>(&*command)) return runText(*o, context);
  return runAutostart(std::get<AutostartOptions>(*command));
}
