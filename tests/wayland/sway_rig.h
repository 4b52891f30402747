// The Wayland test desktop: a headless sway (pixman renderer, no input devices) run as the
// unprivileged user 65534 with a runtime folder of its own, its outputs laid out with swaymsg, and
// input through a virtual pointer and a held virtual keyboard. Everything it starts is stopped when
// it goes away (the compositor also when the test process dies: its shell waits on our pipe).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "orvel/common/json_text.h"
#include "rig_support.h"

namespace orvel::waylandtest {

using testsupport::ChildProcess;
using testsupport::waitUntil;

struct SwayOutput {
  int width = 1280;  // mode, pixels
  int height = 720;
  int x = 0;  // logical position, points
  int y = 0;
  double scale = 1;
  std::string background = "#336699";  // a colour, or a picture file (stretched)
};

struct SwayOptions {
  std::vector<SwayOutput> outputs = {SwayOutput{}};
  // The pointer as sway has it by default: focus follows it and its image never hides. Otherwise
  // the focus stays put and the image hides 300 ms after the last motion.
  bool defaultPointer = false;
};

class SwayRig {
 public:
  // Nothing, with the reason in `whyNot`, when the compositor cannot start.
  static std::unique_ptr<SwayRig> start(const SwayOptions& options, std::string& whyNot);
  ~SwayRig();
  SwayRig(const SwayRig&) = delete;
  SwayRig& operator=(const SwayRig&) = delete;

  // The compositor's socket as an absolute path (for WAYLAND_DISPLAY).
  const std::string& waylandDisplay() const { return waylandDisplay_; }
  // WAYLAND_DISPLAY and SWAYSOCK, for the clients the tests start.
  std::map<std::string, std::string> environment() const;
  // Output names in the order of the options.
  const std::vector<std::string>& outputNames() const { return names_; }

  // Runs `swaymsg COMMAND...`; its output in `out`. False when it fails.
  bool swaymsg(const std::vector<std::string>& args, std::string* out = nullptr);
  std::optional<Json> outputsJson();
  // Sets an output's background and waits until the compositor shows it.
  bool setBackground(const std::string& output, const std::string& background);
  // Shows the test pattern (test_pattern_png.h) of seed `firstSeed + i` on output i, each
  // stretched over its output; false when one does not show.
  bool showPatterns(int firstSeed = 0);
  // Runs `program args...` with the rig's environment; its exit status (-1: did not end).
  int run(const std::vector<std::string>& argv,
          std::chrono::milliseconds timeout = std::chrono::seconds(20));
  // Writes a file the compositor's user can read (a background picture); its path.
  std::string writeFile(const std::string& name, const std::vector<std::uint8_t>& bytes);
  // Stops the compositor at once (for tests of a lost compositor).
  void killCompositor();
  // Stops and resumes the compositor's process (SIGSTOP, SIGCONT): a compositor that stalls.
  bool pauseCompositor();
  bool resumeCompositor();
  // Gives an output a transform as swaymsg names it ("90", "flipped-270", ...) and waits until
  // the compositor reports it.
  bool setTransform(const std::string& output, const std::string& transform);
  // The compositor's own process (for tests that stop and resume it); -1 when unknown.
  pid_t compositorPid() const;

 private:
  SwayRig() = default;
  bool layOut(const SwayOptions& options, std::string& whyNot);
  std::string runtimeDir_;
  std::string waylandDisplay_;
  std::string swaySocket_;
  std::vector<std::string> names_;
  std::unique_ptr<ChildProcess> shell_;
  int compositorPid_ = -1;
  bool paused_ = false;
};

// Starts a rig as `rig` in a test, or skips the test with the reason.
#define START_SWAY(rig, options)              \
  std::string whyNot;                         \
  auto rig = SwayRig::start(options, whyNot); \
  if (!rig) GTEST_SKIP() << "Wayland test skipped: " << whyNot

}  // namespace orvel::waylandtest
