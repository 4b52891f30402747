#include "input_counter_process.h"

#include <cstdio>
#include <string>
#include <vector>

namespace orvel::waylandtest {

using namespace std::chrono_literals;

std::vector<std::string> InputCounter::arguments(int windows, int pageSeed) {
  std::vector<std::string> argv = {ORVEL_INPUT_COUNTER, "--windows", std::to_string(windows)};
  if (pageSeed >= 0) argv.insert(argv.end(), {"--page", std::to_string(pageSeed)});
  return argv;
}

InputCounter::InputCounter(SwayRig& rig, int windows, int pageSeed) {
  ChildProcess::Options o;
  o.environment = rig.environment();
  process_ = ChildProcess::start(arguments(windows, pageSeed), o);
  ready_ = process_ && process_->readLine(10s) == "ready";
}

InputCounter::InputCounter(std::unique_ptr<ChildProcess> process) : process_(std::move(process)) {
  ready_ = process_ && process_->readLine(10s) == "ready";
}

std::optional<std::string> InputCounter::ask(const char* command) {
  if (!process_ || !process_->write(std::string(command) + "\n")) return std::nullopt;
  return process_->readLine(10s);
}

Counts InputCounter::counts() {
  Counts c;
  if (auto line = ask("count"))
    std::sscanf(line->c_str(), "keys %d buttons %d focused %d", &c.keys, &c.buttons, &c.focused);
  return c;
}

std::optional<int> InputCounter::focusedWindow() {
  int number = -1;
  if (auto line = ask("focus"); line && std::sscanf(line->c_str(), "focus %d", &number) == 1)
    return number;
  return std::nullopt;
}

std::optional<WheelCounts> InputCounter::wheel() {
  WheelCounts w;
  auto line = ask("wheel");
  if (line && std::sscanf(line->c_str(), "wheel axis %d value %lf discrete %d steps %d wheel %d",
                          &w.axisEvents, &w.axisValue, &w.discreteEvents, &w.discreteSteps,
                          &w.wheelSources) == 5)
    return w;
  return std::nullopt;
}

std::optional<int> InputCounter::pageOffset() {
  int offset = -1;
  if (auto line = ask("page"); line && std::sscanf(line->c_str(), "page %d", &offset) == 1)
    return offset;
  return std::nullopt;
}

}  // namespace orvel::waylandtest
