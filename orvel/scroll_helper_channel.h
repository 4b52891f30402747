// ScrollChannel over a running scroll-capture-helper: JSON lines out, reply lines and frame bytes
// in. A read that the interrupt descriptor cuts short fails with "Interrupted.". One thread.
#pragma once

#include "helper_process.h"
#include "scroll_channel.h"

namespace orvel::cli {

class ScrollHelperChannel final : public ScrollChannel {
 public:
  ScrollHelperChannel(HelperProcess& helper, int interruptFd)
      : helper_(helper), interruptFd_(interruptFd) {}

  Expected<bool, Failure> select() override;
  Expected<Image, Failure> capture() override;
  Expected<void, Failure> scroll(double fraction) override;
  // "close": the helper ends.
  void close();

 private:
  HelperProcess& helper_;
  int interruptFd_;
};

}  // namespace orvel::cli
