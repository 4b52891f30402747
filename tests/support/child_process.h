// A child process with pipes to its standard input and output, killed (and reaped) when the owner
// goes away, and also when the test process dies first (PR_SET_PDEATHSIG).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace orvel::testsupport {

class ChildProcess {
 public:
  struct Options {
    std::map<std::string, std::string> environment;  // added to the test's own
    bool pipeStdin = true;
    bool pipeStdout = true;
    int extraFd = -1;  // passed on as the same descriptor number
  };
  // Null when the program cannot be started.
  static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv,
                                             const Options& options);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  bool write(const std::string& bytes);
  void closeStdin();
  // One line without its terminator; nothing on timeout or end of output.
  std::optional<std::string> readLine(std::chrono::milliseconds timeout);
  // Exactly `n` bytes; false on timeout or end of output.
  bool readBytes(std::size_t n, std::vector<std::uint8_t>& out, std::chrono::milliseconds timeout);
  // Exactly `n` bytes into `out`, read straight from the pipe once the buffered ones are used.
  bool readInto(std::uint8_t* out, std::size_t n, std::chrono::milliseconds timeout);
  // Everything it writes until its output ends; nothing when `timeout` passes first.
  std::optional<std::string> readToEnd(std::chrono::milliseconds timeout);
  // The exit status once it ended (-1 when killed by a signal); nothing on timeout.
  std::optional<int> wait(std::chrono::milliseconds timeout);
  // Its peak resident memory in KiB, known once wait() saw it end.
  long maxRssKiB() const { return maxRssKiB_; }
  void kill();

 private:
  ChildProcess() = default;
  bool fill(std::chrono::steady_clock::time_point deadline);
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
  std::optional<int> status_;
  long maxRssKiB_ = 0;
};

}  // namespace orvel::testsupport
