// What the Wayland, KDE and GNOME demos share: their arguments, the summary lines, the region
// capture's request and summary, and the scrolling capture through `orvel scroll` (the user's drag
// played once the overlay has the focus, the page read back and its rows checked).
#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"
#include "installed_project.h"
#include "orvel/common/json_text.h"
#include "orvel_scroll_report.h"
#include "rgba_png.h"
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

// Installs the build of `arguments` into `installed`, for a desktop that authorises installed
// programs only; false, and said in the summary, when the install failed.
inline bool installForDesktop(testsupport::InstalledProject& installed,
                              const DemoArguments& arguments, const std::string& desktop) {
  std::string log;
  if (installed.install(arguments.bin, log)) return true;
  summarize(arguments.out, desktop + " captures FAILED: cmake --install: " + log);
  return false;
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

// A scrolling capture through `orvel scroll` on one desktop.
struct OrvelScrollStep {
  std::string desktop;  // as the summary names it: "Wayland"
  std::string file;     // the picture's name in OUTDIR
  std::string written;  // where orvel writes it: a folder the desktop's user may write
  // Plays the user's drag over the region once the overlay has the focus; false when it could not.
  std::function<bool()> drag;
  // Whether the page's rows are the ones the region stood for: empty when they are, else why not.
  std::function<std::string(const waylandtest::RgbaPicture& page, const OrvelScrollReport& report)>
      seams;
  std::string seamsHold;  // what the summary says when they are
};

// The command that runs `orvel` as `orvel scroll -o WRITTEN --max-height MAX`, its standard error
// joined to its output (the progress lines that the summary reads).
inline std::vector<std::string> orvelScrollCommand(const std::string& orvel,
                                                   const std::string& written, int maxHeight) {
  return {"/bin/sh", "-c",    "exec \"$0\" scroll -o \"$1\" --max-height \"$2\" 2>&1",
          orvel,     written, std::to_string(maxHeight)};
}

// LD_LIBRARY_PATH for the orvel installed under `prefix`, a folder the dynamic linker does not
// search: where its library went (the multiarch folder under lib/).
inline std::string installedLibraryPath(const std::string& prefix) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(prefix + "/lib", ec))
    if (entry.path().filename().string().starts_with("libOrvel.Startup.so"))
      return entry.path().parent_path().string();
  return prefix + "/lib";
}

// Plays `step`'s drag for `orvel` (started with orvelScrollCommand), waits for its end, reads the
// page back, copies it to OUTDIR and summarizes it with its seam check; 0 when orvel wrote a page
// whose seams hold.
inline int scrollThroughOrvel(testsupport::ChildProcess* orvel, const std::string& out,
                              const OrvelScrollStep& step,
                              std::chrono::steady_clock::time_point started) {
  const std::string what = "scrolling capture on " + step.desktop + " through orvel scroll";
  auto fail = [&](const std::string& why) {
    summarize(out, what + " FAILED: " + why);
    return 1;
  };
  if (!orvel) return fail("orvel did not start");
  if (!step.drag()) {
    orvel->kill();
    return fail("the overlay did not take the drag; orvel said: " +
                orvel->readToEnd(std::chrono::seconds(5)).value_or(""));
  }
  const std::string said = orvel->readToEnd(std::chrono::minutes(5)).value_or("");
  const std::optional<int> status = orvel->wait(std::chrono::seconds(10));
  const OrvelScrollReport report = readOrvelScrollReport(said);
  if (status != 0 || report.page.empty()) return fail("orvel said: " + said);
  const auto page = waylandtest::readRgbaPng(step.written);
  if (!page) return fail("no picture in " + step.written + "; orvel said: " + said);
  std::error_code ec;
  const std::string copy = out + "/" + step.file;
  if (step.written != copy)
    std::filesystem::copy_file(step.written, copy,
                               std::filesystem::copy_options::overwrite_existing, ec);
  if (ec) return fail("cannot write " + copy + ": " + ec.message());
  const std::string broken =
      report.gaps ? "orvel found frames that did not overlap the page" : step.seams(*page, report);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char text[200];
  std::snprintf(text, sizeof text, " (%.1f s)", seconds);
  summarize(out, what + ": " + step.file + ", " + report.page + " (" + report.why +
                     "); seam check: " + (broken.empty() ? step.seamsHold : "FAILED, " + broken) +
                     text);
  return broken.empty() ? 0 : 1;
}

// scrollThroughOrvel for the orvel installed under `prefix`, started by `spawn(argv, options)` on
// the desktop (as its user): the installed orvel starts the installed helper, the one the desktop
// authorises. `options` gains the library path.
template <class Spawn>
int scrollThroughInstalledOrvel(Spawn spawn, const std::string& prefix,
                                testsupport::ChildProcess::Options options, int maxHeight,
                                const std::string& out, const OrvelScrollStep& step,
                                std::chrono::steady_clock::time_point started) {
  options.pipeStdin = false;
  options.environment["LD_LIBRARY_PATH"] = installedLibraryPath(prefix);
  auto orvel = spawn(orvelScrollCommand(prefix + "/bin/orvel", step.written, maxHeight), options);
  return scrollThroughOrvel(orvel.get(), out, step, started);
}

// The seam check of a page of the tests' pattern (test_pattern.h) of `seed` whose region's top-left
// corner was at (`left`, `top`) of the window: every row must be the pattern's row it stands for.
inline std::string patternRowsBroken(const waylandtest::RgbaPicture& page, int left, int top,
                                     int seed) {
  int broken = 0;
  for (int y = 0; y < page.height; ++y) {
    for (int x = 0; x < page.width; ++x) {
      const std::uint32_t bgra = x11test::patternPixel(left + x, top + y, seed);
      const std::uint8_t* p = page.at(x, y);
      if (p[0] != ((bgra >> 16) & 0xff) || p[1] != ((bgra >> 8) & 0xff) || p[2] != (bgra & 0xff)) {
        ++broken;
        break;
      }
    }
  }
  return broken == 0 ? "" : std::to_string(broken) + " rows are not the page's";
}

inline constexpr const char* kPatternRowsHold = "every row continues the page";

}  // namespace orvel::demo
