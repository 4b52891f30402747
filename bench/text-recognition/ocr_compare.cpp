// Runs the helper (one engine, then one engine a core) and the `tesseract` command (one thread,
// then its defaults) on the same rendered pages and prints wall time, peak memory, line fidelity
// and character error rate side by side, with whether the helper's two texts are the same and the
// ratios of the times.
//
//   ocr_compare [--quick] [--only NAME] [--skip-default-tall] [--helper-only] [--keep]
//               [--helper PATH]
//
// --quick renders a 1200 x 6000 page instead of 1200 x 30000; --skip-default-tall leaves out the
// command's multi-threaded run on the tall page, which takes minutes on a small machine;
// --helper-only runs the helper alone; --keep leaves each page's PNG (NAME.png), its text
// (NAME.expected.txt) and the helper's (NAME.helper.txt) in the printed folder for profiling;
// --helper runs another build of the helper than this build's.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "page_renderer.h"
#include "text_metrics.h"

namespace {

using namespace orvel::ocr::testing;

struct Measure {
  double seconds = 0;
  double peakMegabytes = 0;
  int status = -1;
  std::string out;
};

// Runs argv with extra environment settings, standard output into `outFile`.
Measure runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                   const std::string& outFile) {
  Measure measure;
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    for (const std::string& setting : env)
      putenv(const_cast<char*>(setting.c_str()));
    if (!std::freopen(outFile.c_str(), "w", stdout)) _exit(127);
    if (!std::freopen("/dev/null", "w", stderr)) _exit(127);
    std::vector<char*> args;
    for (const std::string& arg : argv)
      args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  measure.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  measure.peakMegabytes = usage.ru_maxrss / 1024.0;
  measure.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(outFile);
  std::stringstream bytes;
  bytes << in.rdbuf();
  measure.out = bytes.str();
  return measure;
}

std::string helperText(const std::string& out) {
  const auto json = nlohmann::json::parse(out, nullptr, false);
  if (json.is_discarded() || !json.contains("text")) return "";
  return json["text"].get<std::string>();
}

std::string commandText(std::string out) {
  std::erase(out, '\f');
  return out;
}

bool onPath(const std::string& program) {
  return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

struct Expected {
  std::string text;
  std::vector<std::vector<std::string>> rows;
};

void report(const std::string& who, const Measure& m, const Expected& expected,
            const std::string& text, const Measure* base) {
  std::printf("  %-24s %7.2f s %7.1f MB  lines %6.2f%%  CER %6.2f%%", who.c_str(), m.seconds,
              m.peakMegabytes, lineFidelity(expected.rows, text) * 100,
              characterErrorRate(expected.text, text) * 100);
  if (base != nullptr) std::printf("  (%.2fx the helper's time)", m.seconds / base->seconds);
  std::printf("%s\n", m.status == 0 ? "" : "  FAILED");
}

}  // namespace

int main(int argc, char** argv) {
  bool quick = false;
  bool skipDefaultTall = false;
  bool helperOnly = false;
  bool keep = false;
  std::optional<std::string> only;
  std::string helperPath = ORVEL_OCR_HELPER;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--quick") quick = true;
    if (arg == "--skip-default-tall") skipDefaultTall = true;
    if (arg == "--helper-only") helperOnly = true;
    if (arg == "--keep") keep = true;
    if (arg == "--only" && i + 1 < argc) only = argv[++i];
    if (arg == "--helper" && i + 1 < argc) helperPath = argv[++i];
  }
  // The helper on every core, as it runs by default; ORVEL_OCR_THREADS set from outside picks
  // another count.
  const char* setting = std::getenv("ORVEL_OCR_THREADS");
  const unsigned engines = setting != nullptr ? static_cast<unsigned>(std::atoi(setting))
                                              : std::max(1u, std::thread::hardware_concurrency());
  const std::string cores = "ORVEL_OCR_THREADS=" + std::to_string(engines);
  const bool haveCommand = onPath("tesseract");
  if (!haveCommand) std::printf("tesseract command not found: comparing nothing\n");

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("orvel-ocr-bench-" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  struct Case {
    std::string name;
    Page page;
  };
  const int tallHeight = quick ? 6000 : 30000;
  const std::vector<Case> cases = {
      {"screenshot 1920x1080", screenshotPage(1920, 1080, false)},
      {"dark screenshot 1920x1080", screenshotPage(1920, 1080, true)},
      {"numbered document 900x2700", numberedPage(900, 2700)},
      {"settings form 1440x900", settingsPage(1440, 900)},
      {"tall page 1200x" + std::to_string(tallHeight), tallPage(1200, tallHeight, 20, 30)},
  };
  for (const Case& c : cases) {
    if (only && c.name.find(*only) == std::string::npos) continue;
    const std::string stem = keep ? c.name.substr(0, c.name.find(' ')) : "page";
    const std::string png = (dir / (stem + ".png")).string();
    writePng(c.page, png);
    const Expected truth{expectedText(c.page), expectedRows(c.page)};
    std::printf("%s (%zu lines, %zu characters)\n", c.name.c_str(), c.page.runs.size(),
                truth.text.size());
    const std::string outFile = (dir / "out.txt").string();

    const Measure oneEngine =
        runProcess({helperPath, "recognize", png, "en"}, {"ORVEL_OCR_THREADS=1"}, outFile);
    report("helper, one engine", oneEngine, truth, helperText(oneEngine.out), nullptr);
    const Measure helper = runProcess({helperPath, "recognize", png, "en"}, {cores}, outFile);
    report("helper, " + std::to_string(engines) + " engines", helper, truth, helperText(helper.out),
           nullptr);
    std::printf("  %-24s %s, %.2fx faster\n", "",
                helper.out == oneEngine.out ? "same text" : "TEXT DIFFERS",
                oneEngine.seconds / helper.seconds);
    if (keep) {
      std::ofstream(dir / (stem + ".expected.txt")) << truth.text << '\n';
      std::ofstream(dir / (stem + ".helper.txt")) << helperText(helper.out) << '\n';
    }
    if (!haveCommand || helperOnly) continue;
    const Measure single =
        runProcess({"tesseract", png, "stdout"}, {"OMP_THREAD_LIMIT=1"}, outFile);
    report("tesseract, one thread", single, truth, commandText(single.out), &helper);
    if (skipDefaultTall && c.name.starts_with("tall")) continue;
    const Measure defaults = runProcess({"tesseract", png, "stdout"}, {}, outFile);
    report("tesseract, defaults", defaults, truth, commandText(defaults.out), &helper);
  }
  if (keep) {
    std::printf("pages kept in %s\n", dir.c_str());
  } else {
    std::filesystem::remove_all(dir);
  }
  return 0;
}
