// A helper process under test, talked to through pipes.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace orvel::testing {

class ChildProcess {
 public:
  ChildProcess(const std::string& path, std::vector<std::pair<std::string, std::string>> env = {}) {
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(in[0], STDIN_FILENO);
      dup2(out[1], STDOUT_FILENO);
      for (auto& [k, v] : env)
        setenv(k.c_str(), v.c_str(), 1);
      execl(path.c_str(), path.c_str(), nullptr);
      _exit(127);
    }
    close(in[0]);
    close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
    signal(SIGPIPE, SIG_IGN);
  }
  ~ChildProcess() {
    if (stdin_ >= 0) close(stdin_);
    if (stdout_ >= 0) close(stdout_);
    if (pid_ > 0 && !status_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }

  bool write(const std::string& bytes) {
    size_t off = 0;
    while (off < bytes.size()) {
      ssize_t n = ::write(stdin_, bytes.data() + off, bytes.size() - off);
      if (n <= 0) return false;
      off += size_t(n);
    }
    return true;
  }
  void closeStdin() {
    close(stdin_);
    stdin_ = -1;
  }

  // The next line (without its LF), or nothing when the output ends or `timeout` passes.
  std::optional<std::string> readLine(
      std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    for (;;) {
      auto nl = buffer_.find('\n');
      if (nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return line;
      }
      if (!fill(timeout)) return std::nullopt;
    }
  }
  std::optional<std::string> readBytes(
      size_t n, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    while (buffer_.size() < n) {
      if (!fill(timeout)) return std::nullopt;
    }
    std::string bytes = buffer_.substr(0, n);
    buffer_.erase(0, n);
    return bytes;
  }
  // Everything until the output ends.
  std::string readAll() {
    while (fill(std::chrono::seconds(10))) {
    }
    return std::exchange(buffer_, {});
  }

  // Waits for the exit; the exit status (or 128 + signal) and the peak resident memory in KiB.
  struct Exit {
    int status;
    long maxRssKiB;
  };
  Exit wait() {
    int raw = 0;
    rusage usage{};
    wait4(pid_, &raw, 0, &usage);
    status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    return {*status_, usage.ru_maxrss};
  }

 private:
  bool fill(std::chrono::milliseconds timeout) {
    pollfd p{stdout_, POLLIN, 0};
    if (poll(&p, 1, int(timeout.count())) <= 0) return false;
    char buf[1 << 16];
    ssize_t n = read(stdout_, buf, sizeof buf);
    if (n <= 0) return false;
    buffer_.append(buf, size_t(n));
    return true;
  }

  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
  std::string buffer_;
  std::optional<int> status_;
};

}  // namespace orvel::testing
