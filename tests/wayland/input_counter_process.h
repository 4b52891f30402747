// The tests' ordinary application (input_counter.cpp) as a child process on a sway rig, and what
// it answers about the input it received.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sway_rig.h"

namespace orvel::waylandtest {

struct Counts {
  int keys = -1, buttons = -1, focused = -1;
  bool operator==(const Counts&) const = default;
};

struct WheelCounts {
  int axisEvents = -1;
  double axisValue = 0;  // surface pixels, positive towards the content's end
  int discreteEvents = -1;
  int discreteSteps = 0;
  int wheelSources = -1;
};

class InputCounter {
 public:
  // `pageSeed` non-negative: the windows show long pages of that seed (input_counter.cpp).
  InputCounter(SwayRig& rig, int windows = 1, int pageSeed = -1);
  // One the test started itself (on another compositor): `process` runs input_counter.
  explicit InputCounter(std::unique_ptr<ChildProcess> process);
  // The arguments that open `windows` windows showing pages of `pageSeed` (none when negative).
  static std::vector<std::string> arguments(int windows = 1, int pageSeed = -1);
  // Its windows are shown.
  bool ready() const { return ready_; }
  int pid() const { return process_ ? process_->pid() : -1; }
  Counts counts();
  bool focused() { return counts().focused == 1; }
  // The number (from 1) of its window that has the keyboard; 0: none; nothing: no answer.
  std::optional<int> focusedWindow();
  std::optional<WheelCounts> wheel();
  // How far the first window's page has scrolled, in surface pixels.
  std::optional<int> pageOffset();

 private:
  std::optional<std::string> ask(const char* command);
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
};

}  // namespace orvel::waylandtest
