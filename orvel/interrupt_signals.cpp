#include "interrupt_signals.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace orvel::cli {

InterruptSignals::InterruptSignals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  if (::sigprocmask(SIG_BLOCK, &set, &previous_) != 0) return;
  fd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

InterruptSignals::~InterruptSignals() {
  if (fd_ >= 0) {
    // Taken here, so that unblocking does not deliver them: the interrupt was answered already.
    signalfd_siginfo info;
    while (::read(fd_, &info, sizeof info) == sizeof info) {
    }
    ::close(fd_);
  }
  ::sigprocmask(SIG_SETMASK, &previous_, nullptr);
}

bool InterruptSignals::pending() const {
  if (fd_ < 0) return false;
  pollfd p{fd_, POLLIN, 0};
  return ::poll(&p, 1, 0) > 0;
}

}  // namespace orvel::cli
