// A helper (or a clipboard tool) run as a child with pipes on its standard input and output; its
// standard error is ours. It runs in a process group of its own, so that Ctrl-C in the terminal
// reaches orvel alone, which then ends the capture itself. Going away closes its input and, if it
// has not ended within two seconds, kills it by its pid. One thread at a time.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvel/common/expected.h"
#include "orvel/common/failure.h"

namespace orvel::cli {

enum class ReadEnd {
  kDone,
  kTimedOut,
  kClosed,       // the helper closed its output (ended)
  kInterrupted,  // the interrupt descriptor became readable
};

class HelperProcess {
 public:
  // Starts `argv` (argv[0] a path); the failure names the program.
  static Expected<std::unique_ptr<HelperProcess>, Failure> start(
      const std::vector<std::string>& argv);
  ~HelperProcess();
  HelperProcess(const HelperProcess&) = delete;
  HelperProcess& operator=(const HelperProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Writes all of `bytes`; false once the helper stopped reading.
  bool write(const std::string& bytes);
  void closeInput();

  // No timeout: wait as long as it takes (a user dragging). `interruptFd` -1: none.
  static constexpr std::chrono::milliseconds kForever{-1};
  ReadEnd readLine(std::string& line, std::chrono::milliseconds timeout, int interruptFd = -1);
  ReadEnd readBytes(std::size_t n, std::vector<std::uint8_t>& out,
                    std::chrono::milliseconds timeout, int interruptFd = -1);
  // Everything until the output closes.
  ReadEnd readAll(std::string& out, std::chrono::milliseconds timeout, int interruptFd = -1);
  // The exit status once it ended within `timeout` (128 + signal when killed by one).
  std::optional<int> wait(std::chrono::milliseconds timeout);

 private:
  HelperProcess(pid_t pid, int in, int out) : pid_(pid), in_(in), out_(out) {}
  ReadEnd fill(std::chrono::steady_clock::time_point deadline, bool forever, int interruptFd);

  pid_t pid_;
  int in_;
  int out_;
  std::string buffer_;
};

}  // namespace orvel::cli
