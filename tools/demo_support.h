// What the Wayland and KDE demos share: their arguments, the summary lines, and a scrolling capture
// of a selected region of the tests' page window driven through the helper's protocol, its frames
// stitched by their overlap as the X11 demo host does, with the check of its seams.
#pragma once

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "orvel/common/json_text.h"
#include "orvel/stitching/page_stitcher.h"
#include "png_file.h"
#include "sway_rig.h"
#include "test_pattern.h"

namespace orvel::demo {

using namespace std::chrono_literals;

// "--bin BUILDDIR --out OUTDIR"; nothing, after the usage line of `program`, when one is missing.
struct DemoArguments {
  std::string bin, out;
};
inline std::optional<DemoArguments> demoArguments(int argc, char** argv, const char* program) {
  DemoArguments a;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--bin") a.bin = argv[i + 1];
    if (flag == "--out") a.out = argv[i + 1];
  }
  if (a.bin.empty() || a.out.empty()) {
    std::fprintf(stderr, "usage: %s --bin BUILDDIR --out OUTDIR\n", program);
    return std::nullopt;
  }
  return a;
}

inline void summarize(const std::string& out, const std::string& line) {
  std::printf("demo: %s\n", line.c_str());
  std::ofstream(out + "/summary.txt", std::ios::app) << line << "\n";
}

// Rows of `picture` that are not the page of `seed`'s rows from `top` on, at column `left` of the
// window.
inline int brokenRows(const ImageView& picture, int left, int top, int seed) {
  int broken = 0;
  for (int y = 0; y < picture.height; ++y) {
    const auto* row = reinterpret_cast<const std::uint32_t*>(picture.row(y));
    for (int x = 0; x < picture.width; ++x) {
      if (row[x] != x11test::patternPixel(left + x, top + y, seed)) {
        ++broken;
        break;
      }
    }
  }
  return broken;
}

// The helper's reply line; an empty object when none came or it is not an object.
inline Json replyOf(testsupport::ChildProcess& helper) {
  const auto line = helper.readLine(10s);
  auto reply = line ? parseJson(*line).value_or(Json()) : Json();
  return reply.is_object() ? reply : Json::object();
}

// Asks region-capture-helper `helper` for a capture into `path`.
inline void askRegionCapture(testsupport::ChildProcess& helper, const std::string& path) {
  helper.write(R"({"command":"prepare","id":1})"
               "\n"
               R"({"command":"capture","id":1,"path":")" +
               path + "\"}\n");
}

// Ends `helper` and summarizes its `reply` as the region capture `what` into `file`, `note` after
// its time; 0 when it captured.
inline int finishRegion(testsupport::ChildProcess& helper, const std::string& out,
                        const std::string& what, const std::string& file, const Json& reply,
                        std::chrono::steady_clock::time_point started, const char* note = "") {
  helper.closeStdin();
  helper.wait(5s);
  if (!reply.is_object() || !reply.value("ok", false) || !reply.contains("region")) {
    summarize(out, what + " FAILED: " + reply.dump());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char text[100];
  std::snprintf(text, sizeof text, " (%.1f s%s)", seconds, note);
  summarize(out, what + ": " + file + ", region " + reply["region"].dump() + text);
  return 0;
}

// The selected region of `helper` captured, then scrolled by 0.6 of its height `steps` times and
// captured again once the page moved, the frames stitched; `moveAway` runs after each scroll (the
// wheel's pointer stays on the region, which the compositor draws into its pictures). Nothing,
// with the reason in `why`, when a step fails.
inline std::optional<stitching::PageStitcher> stitchedScrolls(testsupport::ChildProcess& helper,
                                                              int steps,
                                                              const std::function<void()>& moveAway,
                                                              std::string& why) {
  struct Frame {
    int width = 0, height = 0;
    std::vector<std::uint8_t> bgra;
    ImageView view() const {
      return {bgra.data(), width, height, static_cast<std::size_t>(width) * 4};
    }
  };
  auto capture = [&](Frame& frame) {
    helper.write("{\"command\":\"capture\"}\n");
    const Json header = replyOf(helper);
    if (!header.value("ok", false)) return false;
    frame.width = header.value("width", 0);
    frame.height = header.value("height", 0);
    return helper.readBytes(header.value("length", std::size_t{0}), frame.bgra, 10s);
  };
  Frame previous;
  if (!capture(previous)) {
    why = "the first capture";
    return std::nullopt;
  }
  stitching::PageStitcher stitched(previous.view());
  const int asked = previous.height * 6 / 10;
  for (int step = 0; step < steps; ++step) {
    helper.write("{\"command\":\"scroll\",\"fraction\":0.6}\n");
    const Json scrolled = replyOf(helper);
    if (!scrolled.value("ok", false)) {
      why = "scroll: " + scrolled.dump();
      return std::nullopt;
    }
    moveAway();
    // The page repaints after the wheel events: the first frame that has moved.
    Frame next;
    const auto before = stitching::rowHashes(previous.view());
    const bool moved = waylandtest::waitUntil([&] {
      return capture(next) &&
             stitching::measureOverlap(before, stitching::rowHashes(next.view()), asked).shift > 0;
    });
    if (!moved) {
      why = "the page did not move";
      return std::nullopt;
    }
    if (!stitched.add(next.view(), asked).matched) {
      why = "a frame did not overlap the page";
      return std::nullopt;
    }
    previous = std::move(next);
  }
  return stitched;
}

// Writes `stitched` to OUTDIR/`file`, checks its seams (the region's top-left corner at (left,
// top) of the page window) and summarizes it as the scrolling capture on `desktop`; 0 when every
// row continues the page.
inline int finishScrolls(const std::string& out, const std::string& desktop,
                         const std::string& file, const stitching::PageStitcher& stitched,
                         int frameHeight, int left, int top, int seed,
                         std::chrono::steady_clock::time_point started) {
  if (auto written = cli::writePngFile(stitched.view(), out + "/" + file); !written) {
    summarize(out, "scrolling capture on " + desktop + " FAILED: " + written.error().description);
    return 1;
  }
  const int broken = brokenRows(stitched.view(), left, top, seed);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char text[300];
  std::snprintf(text, sizeof text,
                "scrolling capture on %s: %d frames of %dx%d stitched into %s, %dx%d; seam check: "
                "%s (%.1f s)",
                desktop.c_str(), stitched.frames(), stitched.width(), frameHeight, file.c_str(),
                stitched.width(), stitched.height(),
                broken == 0 ? "every row continues the page" : "rows broken", seconds);
  summarize(out, broken == 0 ? text
                             : std::string(text) + ", " + std::to_string(broken) +
                                   " rows are not the page's");
  return broken == 0 ? 0 : 1;
}

}  // namespace orvel::demo
