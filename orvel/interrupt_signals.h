// SIGINT, SIGTERM and SIGHUP turned into a readable descriptor for as long as this lives, so that
// a capture can stop between two steps and keep what it has. Construct on the main thread before
// any other thread starts; children started meanwhile get the default signal mask back (see
// HelperProcess).
#pragma once

#include <signal.h>

namespace orvel::cli {

class InterruptSignals {
 public:
  InterruptSignals();
  ~InterruptSignals();
  InterruptSignals(const InterruptSignals&) = delete;
  InterruptSignals& operator=(const InterruptSignals&) = delete;

  // Readable once a signal arrived; -1 when signals could not be redirected.
  int fd() const { return fd_; }
  // Whether a signal arrived (it stays pending).
  bool pending() const;

 private:
  sigset_t previous_;
  int fd_ = -1;
};

}  // namespace orvel::cli
