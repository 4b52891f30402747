// What the demo programs that run on a desktop of their own share: their arguments (--bin
// BUILDDIR --out OUTDIR), their lines in OUTDIR/summary.txt and the end of a region capture.
#pragma once

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "child_process.h"
#include "orvel/common/json_text.h"

namespace orvel::demo {

struct DemoArguments {
  std::string bin;
  std::string out;
};

// Both folders, or nothing with the usage printed under `program`'s name.
inline bool readDemoArguments(int argc, char** argv, const char* program, DemoArguments& args) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--bin") args.bin = argv[i + 1];
    if (flag == "--out") args.out = argv[i + 1];
  }
  if (!args.bin.empty() && !args.out.empty()) return true;
  std::fprintf(stderr, "usage: %s --bin BUILDDIR --out OUTDIR\n", program);
  return false;
}

// Prints `line` and appends it to OUTDIR/summary.txt.
inline void summarize(const std::string& out, const std::string& line) {
  std::printf("demo: %s\n", line.c_str());
  std::ofstream(out + "/summary.txt", std::ios::app) << line << "\n";
}

// Reads region-capture-helper's answer to the capture (at most 10 s), ends the helper, and
// summarizes "`what`: `file`, region R (N s`note`)" when it gave a region (0), else "`what`
// FAILED: its answer" (1). `ready`: false when the capture could not be made as planned.
inline int endRegionCapture(testsupport::ChildProcess& helper, const std::string& out,
                            const std::string& what, const std::string& file,
                            std::chrono::steady_clock::time_point started, const char* note = "",
                            bool ready = true) {
  using namespace std::chrono_literals;
  const auto line = helper.readLine(10s);
  const auto reply = line ? parseJson(*line) : std::nullopt;
  helper.closeStdin();
  helper.wait(5s);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (!ready || !reply || !reply->value("ok", false) || !reply->contains("region")) {
    summarize(out, what + " FAILED: " + (line ? *line : std::string("no reply")));
    return 1;
  }
  char text[100];
  std::snprintf(text, sizeof text, " (%.1f s%s)", seconds, note);
  summarize(out, what + ": " + file + ", region " + (*reply)["region"].dump() + text);
  return 0;
}

}  // namespace orvel::demo
