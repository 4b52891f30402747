// Runs a shell command line for a test and collects what it writes on standard output and how it
// ended.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace orvel::testing {

struct CommandOutput {
  std::string out;
  int status = -1;  // the exit status; -1 when it could not start or was killed by a signal
};

inline CommandOutput runShellCommand(const std::string& command) {
  CommandOutput result;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  std::size_t n = 0;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
    result.out.append(buffer, n);
  const int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace orvel::testing
