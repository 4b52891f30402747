// region-capture-helper as the host runs it on a sway rig, with what a test needs around it: an
// ordinary window that counts the input it gets, a virtual pointer and a held virtual keyboard.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "grim_picture.h"
#include "input_counter_process.h"
#include "orvel/common/json_text.h"
#include "rgba_png.h"
#include "sway_rig.h"
#include "temp_folder.h"
#include "virtual_pointer.h"

namespace orvel::waylandtest {

// A child process that speaks JSON lines (the helper), or just runs (the held keyboard).
inline std::unique_ptr<ChildProcess> startProcess(const std::vector<std::string>& argv,
                                                  const std::map<std::string, std::string>& env,
                                                  bool pipes = true) {
  ChildProcess::Options o;
  o.environment = env;
  o.pipeStdin = o.pipeStdout = pipes;
  return ChildProcess::start(argv, o);
}

inline void send(ChildProcess& p, const std::string& line) {
  p.write(line + "\n");
}

inline Json reply(ChildProcess& p, std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
  const auto line = p.readLine(timeout);
  return line ? parseJson(*line).value_or(Json()) : Json();
}

inline Json canceled(std::int64_t id) {
  return {{"id", id}, {"ok", true}, {"canceled", true}};
}

inline Json failed(std::int64_t id, const char* error) {
  return {{"id", id}, {"ok", false}, {"error", error}};
}

// "prepare" and "capture" of one capture into `path`.
inline void prepareAndCapture(ChildProcess& helper, std::int64_t id, const std::string& path) {
  const std::string n = std::to_string(id);
  send(helper, R"({"command":"prepare","id":)" + n + "}");
  send(helper, R"({"command":"capture","id":)" + n + R"(,"path":")" + path + "\"}");
}

// grim's picture of `geometry` once the screen has settled (two pictures in a row alike) and shows
// the background pattern (a picture of one colour would not show a misplaced pixel).
inline std::optional<RgbaPicture> settledTruth(SwayRig& rig, const std::string& geometry,
                                               region::testing::TempFolder& folder) {
  std::optional<RgbaPicture> truth;
  const bool settled = waitUntil([&] {
    auto a = grim(rig, geometry, folder.file("a.png"));
    auto b = grim(rig, geometry, folder.file("b.png"));
    truth = b;
    return a && b && a->rgba == b->rgba && !uniform(*b);
  });
  return settled ? truth : std::nullopt;
}

// Waits until the frozen overlay shows `truth` (dimmed) at `geometry`.
inline ::testing::AssertionResult overlayShows(SwayRig& rig, const std::string& geometry,
                                               const RgbaPicture& truth,
                                               region::testing::TempFolder& folder) {
  long wrong = -1;
  // Each look is a grim process: a busy machine takes a while for a few.
  if (waitUntil(
          [&] {
            auto shown = grim(rig, geometry, folder.file("shown.png"));
            wrong = shown ? notDimmed(*shown, truth) : -1;
            return wrong == 0;
          },
          std::chrono::seconds(20))) {
    return ::testing::AssertionSuccess();
  }
  return ::testing::AssertionFailure()
         << wrong << " pixels of the overlay are not the dimmed screen";
}

// Everything one test needs around the helper; `width` x `height`: the layout's bounding box in
// points.
struct Desk {
  Desk(SwayRig& r, int width, int height) : rig(r), layoutWidth(width), layoutHeight(height) {}
  bool start() {
    counter = std::make_unique<InputCounter>(rig);
    pointer = VirtualPointer::open(rig.waylandDisplay(), layoutWidth, layoutHeight);
    // One virtual keyboard held for the whole test: short-lived ones lose their first keys.
    keyboard = startProcess({"wtype", "-s", "600000"}, rig.environment(), false);
    return counter->ready() && pointer && keyboard && waitUntil([&] { return counter->focused(); });
  }
  std::unique_ptr<ChildProcess> helper() {
    auto env = rig.environment();
    env["ORVEL_BACKEND"] = "wayland";
    return startProcess({ORVEL_REGION_HELPER}, env);
  }
  bool key(const std::string& name) { return rig.run({"wtype", "-k", name}) == 0; }
  // The counting window keeps the focus but shrinks to 40x40 points at `x`, `y`, out of the way.
  bool shrinkCounter(int x, int y) {
    return rig.swaymsg({"[pid=" + std::to_string(counter->pid()) + "]", "floating", "enable,",
                        "resize", "set", "40", "40,", "move", "absolute", "position",
                        std::to_string(x), std::to_string(y)});
  }
  // The overlay holds the keyboard exactly while it is up.
  bool overlayUp() {
    return waitUntil([&] { return !counter->focused(); });
  }
  bool overlayGone() {
    return waitUntil([&] { return counter->focused(); });
  }
  SwayRig& rig;
  int layoutWidth, layoutHeight;
  std::unique_ptr<InputCounter> counter;
  std::unique_ptr<VirtualPointer> pointer;
  std::unique_ptr<ChildProcess> keyboard;
};

}  // namespace orvel::waylandtest
