#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

namespace orvel::testsupport {

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv,
                                                  const Options& options) {
  // A write to a child that has ended fails instead of ending the test.
  ::signal(SIGPIPE, SIG_IGN);
  int in[2] = {-1, -1}, out[2] = {-1, -1}, ready[2] = {-1, -1};
  if (options.pipeStdin && ::pipe2(in, O_CLOEXEC) != 0) return nullptr;
  if (options.pipeStdout && ::pipe2(out, O_CLOEXEC) != 0) return nullptr;
  // Reports a failed exec to the parent (closed on a successful one).
  if (::pipe2(ready, O_CLOEXEC) != 0) return nullptr;
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) return nullptr;
  if (pid == 0) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(127);
    if (options.pipeStdin) ::dup2(in[0], STDIN_FILENO);
    if (options.pipeStdout) ::dup2(out[1], STDOUT_FILENO);
    if (options.extraFd >= 0) ::fcntl(options.extraFd, F_SETFD, 0);
    for (const auto& [k, v] : options.environment)
      ::setenv(k.c_str(), v.c_str(), 1);
    std::vector<char*> args;
    for (const auto& a : argv)
      args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execvp(args[0], args.data());
    const int e = errno;
    (void)!::write(ready[1], &e, sizeof e);
    ::_exit(127);
  }
  ::close(ready[1]);
  int execError = 0;
  const bool failed = ::read(ready[0], &execError, sizeof execError) == sizeof execError;
  ::close(ready[0]);
  auto child = std::unique_ptr<ChildProcess>(new ChildProcess());
  child->pid_ = pid;
  if (options.pipeStdin) {
    ::close(in[0]);
    child->in_ = in[1];
  }
  if (options.pipeStdout) {
    ::close(out[1]);
    child->out_ = out[0];
  }
  if (failed) {
    child->wait(std::chrono::seconds(5));
    return nullptr;
  }
  return child;
}

ChildProcess::~ChildProcess() {
  kill();
  if (in_ >= 0) ::close(in_);
  if (out_ >= 0) ::close(out_);
}

bool ChildProcess::write(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(in_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

void ChildProcess::closeStdin() {
  if (in_ >= 0) ::close(in_);
  in_ = -1;
}

bool ChildProcess::fill(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  if (left.count() < 0) return false;
  pollfd fd{out_, POLLIN, 0};
  if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) return false;
  char chunk[65536];
  const ssize_t n = ::read(out_, chunk, sizeof chunk);
  if (n <= 0) return false;
  buffer_.append(chunk, static_cast<std::size_t>(n));
  return true;
}

std::optional<std::string> ChildProcess::readLine(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (auto eol = buffer_.find('\n'); eol != std::string::npos) {
      std::string line = buffer_.substr(0, eol);
      buffer_.erase(0, eol + 1);
      return line;
    }
    if (!fill(deadline)) return std::nullopt;
  }
}

std::optional<std::string> ChildProcess::readToEnd(std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() < 0) return std::nullopt;
    pollfd fd{out_, POLLIN, 0};
    if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
    char chunk[65536];
    const ssize_t n = ::read(out_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) return std::exchange(buffer_, {});
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

bool ChildProcess::readBytes(std::size_t n, std::vector<std::uint8_t>& out,
                             std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (buffer_.size() < n) {
    if (!fill(deadline)) return false;
  }
  out.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
  buffer_.erase(0, n);
  return true;
}

bool ChildProcess::readInto(std::uint8_t* out, std::size_t n, std::chrono::milliseconds timeout) {
  const std::size_t buffered = std::min(n, buffer_.size());
  std::memcpy(out, buffer_.data(), buffered);
  buffer_.erase(0, buffered);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (std::size_t done = buffered; done < n;) {
    const ssize_t r = ::read(out_, out + done, n - done);
    if (r > 0) {
      done += static_cast<std::size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r == 0 || std::chrono::steady_clock::now() >= deadline) return false;
  }
  return true;
}

std::optional<int> ChildProcess::wait(std::chrono::milliseconds timeout) {
  if (status_) return status_;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    rusage usage{};
    const pid_t r = ::wait4(pid_, &status, WNOHANG, &usage);
    if (r == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      maxRssKiB_ = usage.ru_maxrss;
      return status_;
    }
    if (r < 0) return std::nullopt;
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void ChildProcess::kill() {
  if (status_ || pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  if (!wait(std::chrono::seconds(2))) {
    ::kill(pid_, SIGKILL);
    wait(std::chrono::seconds(5));
  }
}

}  // namespace orvel::testsupport
