// The X11 test desktop: an Xvfb server on a free display (-displayfd), its monitors laid out with
// `xrandr --setmonitor`, optionally an openbox window manager, test windows, and input through
// XTest. Everything it starts is stopped when it goes away.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "platform/x11/monitor_layout.h"
#include "platform/x11/x11_connection.h"
#include "rig_support.h"

namespace orvel::x11test {

using testsupport::ChildProcess;
using testsupport::waitUntil;

struct RigOptions {
  int width = 1600;
  int height = 900;
  int depth = 24;
  // Monitors in root pixels. Empty: the whole screen.
  std::vector<x11::PixelRect> monitors;
  int primary = 0;  // index of the primary monitor; -1: none
  bool windowManager = false;

  // Two 800x600 monitors side by side on a 1600x600 screen.
  static RigOptions twoMonitors() {
    RigOptions o;
    o.height = 600;
    o.monitors = {{0, 0, 800, 600}, {800, 0, 800, 600}};
    return o;
  }
};

class TestWindowProcess;

class XvfbRig {
 public:
  // Nothing, with the reason in `whyNot`, when the server cannot start.
  static std::unique_ptr<XvfbRig> start(const RigOptions& options, std::string& whyNot);
  ~XvfbRig();

  const std::string& display() const { return display_; }
  const RigOptions& options() const { return options_; }
  // The test's own connection (for input and inspection).
  x11::X11Connection& connection() { return *connection_; }

  struct WindowSpec {
    std::string title = "Orvel test window";
    int x = 100, y = 100, width = 400, height = 300;
    int seed = 1;
    std::optional<long> pid;
    bool overrideRedirect = false;
    int extra = 0;
    std::string type;  // EWMH window type without its prefix: "DOCK", "NOTIFICATION"
    // No background for the server to paint: what is exposed keeps whatever lay there.
    bool noBackground = false;
    // A view of `page` pattern rows that the wheel scrolls by `click` rows, between `header` and
    // `footer` fixed rows; 0: the pattern stands still.
    int page = 0, click = 40, header = 0, footer = 0;
  };
  // A window of the host, which is this test process (the helpers' parent), showing pattern 9.
  static WindowSpec hostWindow(int x, int y, int width, int height);
  // The long page the scroll tests and benchmarks drag over: 500 points wide at (100, y), `rows`
  // pattern rows of seed 4 that the wheel moves 40 a click.
  static WindowSpec longPage(int y, int height, int rows);
  std::unique_ptr<TestWindowProcess> openWindow(const WindowSpec& wanted);

  // XTest input, in root pixels.
  void movePointer(int x, int y);
  void button(int button, bool down);
  void drag(int x0, int y0, int x1, int y1);
  void key(unsigned keysym, bool down);
  void sync();
  // Root coordinates of a window's top-left content pixel.
  std::optional<std::pair<int, int>> contentOrigin(unsigned window);
  // Whether another client holds the pointer (our grab attempt is refused); releases ours.
  bool pointerGrabbedElsewhere();
  // Whether the server keeps a top-level window's contents apart (redirected): only then can
  // they be named.
  bool redirected(unsigned window);
  // Kills the server (for tests of a lost connection).
  void killServer();

 private:
  XvfbRig() = default;
  RigOptions options_;
  std::string display_;
  std::unique_ptr<ChildProcess> server_;
  std::unique_ptr<ChildProcess> windowManager_;
  std::unique_ptr<x11::X11Connection> connection_;
};

class TestWindowProcess {
 public:
  TestWindowProcess(std::unique_ptr<ChildProcess> process, unsigned window)
      : process_(std::move(process)), window_(window) {}
  unsigned window() const { return window_; }
  pid_t pid() const { return process_->pid(); }
  // Sends a command and waits for its answer ("ok", or the clicks line).
  std::string command(const std::string& line);
  // Wheel clicks received so far: up, down.
  std::pair<int, int> clicks();
  void quit();

 private:
  std::unique_ptr<ChildProcess> process_;
  unsigned window_;
};

// Starts a rig as `rig` in a test, or skips the test with the reason.
#define START_RIG(rig, options)               \
  std::string whyNot;                         \
  auto rig = XvfbRig::start(options, whyNot); \
  if (!rig) GTEST_SKIP() << "X11 test skipped: " << whyNot

}  // namespace orvel::x11test
