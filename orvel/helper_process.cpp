#include "helper_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

namespace orvel::cli {

using Clock = std::chrono::steady_clock;

Expected<std::unique_ptr<HelperProcess>, Failure> HelperProcess::start(
    const std::vector<std::string>& argv) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) return failed("Cannot start " + argv[0] + ": no pipes.");
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return failed("Cannot start " + argv[0] + ": no pipes.");
  }
  // Report a failed exec through a pipe that the exec closes.
  int status[2];
  if (::pipe2(status, O_CLOEXEC) != 0) status[0] = status[1] = -1;
  std::vector<char*> args;
  for (const auto& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::setpgid(0, 0);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::execv(args[0], args.data());
    const int error = errno;
    if (status[1] >= 0) [[maybe_unused]]
      auto n = ::write(status[1], &error, sizeof error);
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  if (status[1] >= 0) ::close(status[1]);
  int execError = 0;
  if (status[0] >= 0) {
    ssize_t n;
    do {
      n = ::read(status[0], &execError, sizeof execError);
    } while (n < 0 && errno == EINTR);
    if (n != sizeof execError) execError = 0;
    ::close(status[0]);
  }
  if (pid < 0 || execError != 0) {
    ::close(in[1]);
    ::close(out[0]);
    if (pid > 0) ::waitpid(pid, nullptr, 0);
    return failed("Cannot start " + argv[0] + ": " + std::strerror(pid < 0 ? errno : execError));
  }
  return std::unique_ptr<HelperProcess>(new HelperProcess(pid, in[1], out[0]));
}

HelperProcess::~HelperProcess() {
  closeInput();
  if (pid_ > 0 && !wait(std::chrono::seconds(2))) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  if (out_ >= 0) ::close(out_);
}

bool HelperProcess::write(const std::string& bytes) {
  std::size_t done = 0;
  while (in_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(in_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return in_ >= 0;
}

void HelperProcess::closeInput() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

ReadEnd HelperProcess::fill(Clock::time_point deadline, bool forever, int interruptFd) {
  for (;;) {
    int wait = -1;
    if (!forever) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
      if (left.count() <= 0) return ReadEnd::kTimedOut;
      wait = static_cast<int>(left.count());
    }
    pollfd p[2] = {{out_, POLLIN, 0}, {interruptFd, POLLIN, 0}};
    const int n = ::poll(p, interruptFd >= 0 ? 2 : 1, wait);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return ReadEnd::kClosed;
    if (n == 0) continue;  // the deadline is checked above
    if (interruptFd >= 0 && (p[1].revents & POLLIN)) return ReadEnd::kInterrupted;
    char chunk[1 << 16];
    const ssize_t got = ::read(out_, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return ReadEnd::kClosed;
    buffer_.append(chunk, static_cast<std::size_t>(got));
    return ReadEnd::kDone;
  }
}

ReadEnd HelperProcess::readLine(std::string& line, std::chrono::milliseconds timeout,
                                int interruptFd) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    if (const auto nl = buffer_.find('\n'); nl != std::string::npos) {
      line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return ReadEnd::kDone;
    }
    if (const ReadEnd end = fill(deadline, timeout == kForever, interruptFd); end != ReadEnd::kDone)
      return end;
  }
}

ReadEnd HelperProcess::readBytes(std::size_t n, std::vector<std::uint8_t>& out,
                                 std::chrono::milliseconds timeout, int interruptFd) {
  const auto deadline = Clock::now() + timeout;
  while (buffer_.size() < n) {
    if (const ReadEnd end = fill(deadline, timeout == kForever, interruptFd); end != ReadEnd::kDone)
      return end;
  }
  out.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  buffer_.erase(0, n);
  return ReadEnd::kDone;
}

ReadEnd HelperProcess::readAll(std::string& out, std::chrono::milliseconds timeout,
                               int interruptFd) {
  const auto deadline = Clock::now() + timeout;
  ReadEnd end;
  while ((end = fill(deadline, timeout == kForever, interruptFd)) == ReadEnd::kDone) {
  }
  out = std::exchange(buffer_, std::string());
  return end == ReadEnd::kClosed ? ReadEnd::kDone : end;
}

std::optional<int> HelperProcess::wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return std::nullopt;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (Clock::now() >= deadline) return std::nullopt;
    // No descriptor tells a child's end without a SIGCHLD handler; its output closing came first.
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace orvel::cli
