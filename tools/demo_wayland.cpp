// orvel-demo-wayland: the instant region capture on a wlroots compositor. Starts a headless sway
// with two outputs side by side, of scales 1 and 2, showing patterned backgrounds; runs
// region-capture-helper on it and drags a region across the outputs' boundary with a virtual
// pointer. Writes OUTDIR/region-wayland.png (at scale 2, 144 dpi) and appends its line to
// OUTDIR/summary.txt.
//
//   orvel-demo-wayland --bin BUILDDIR --out OUTDIR
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "orvel/common/json_text.h"
#include "sway_rig.h"
#include "test_pattern_png.h"
#include "virtual_pointer.h"

namespace {

using namespace std::chrono_literals;
using orvel::waylandtest::ChildProcess;

void summarize(const std::string& out, const std::string& line) {
  std::printf("demo: %s\n", line.c_str());
  std::ofstream(out + "/summary.txt", std::ios::app) << line << "\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::string bin, out;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string flag = argv[i];
    if (flag == "--bin") bin = argv[i + 1];
    if (flag == "--out") out = argv[i + 1];
  }
  if (bin.empty() || out.empty()) {
    std::fprintf(stderr, "usage: orvel-demo-wayland --bin BUILDDIR --out OUTDIR\n");
    return 2;
  }
  const auto started = std::chrono::steady_clock::now();
  orvel::waylandtest::SwayOptions options;
  // Logical layout: 1280x800 at scale 1, then 1280x800 at scale 2 to its right.
  options.outputs = {{1280, 800, 0, 0, 1, "#4f6d8f"}, {2560, 1600, 1280, 0, 2, "#8f4f6d"}};
  std::string whyNot;
  auto rig = orvel::waylandtest::SwayRig::start(options, whyNot);
  if (!rig) {
    summarize(out, "region capture on Wayland skipped: " + whyNot);
    return 0;
  }
  for (int i = 0; i < 2; ++i) {
    rig->setBackground(rig->outputNames()[static_cast<std::size_t>(i)],
                       rig->writeFile("bg" + std::to_string(i) + ".png",
                                      orvel::waylandtest::patternPng(1280, 800, i + 1)));
  }
  auto pointer = orvel::waylandtest::VirtualPointer::open(rig->waylandDisplay(), 2560, 800);
  ChildProcess::Options o;
  o.environment = rig->environment();
  o.environment["ORVEL_BACKEND"] = "wayland";
  auto helper = ChildProcess::start({bin + "/region-capture/region-capture-helper"}, o);
  if (!pointer || !helper) {
    summarize(out, "region capture on Wayland: no virtual pointer or no helper");
    return 1;
  }
  // The backgrounds come up while the helper starts.
  std::this_thread::sleep_for(1500ms);
  const std::string path = out + "/region-wayland.png";
  helper->write(R"({"command":"prepare","id":1})"
                "\n"
                R"({"command":"capture","id":1,"path":")" +
                path + "\"}\n");
  // A person's drag starts after the screens froze.
  std::this_thread::sleep_for(800ms);
  pointer->moveTo(900, 200);
  pointer->button(true);
  for (int i = 1; i <= 10; ++i)
    pointer->moveTo(900 + 700 * i / 10, 200 + 400 * i / 10);
  pointer->button(false);
  const auto line = helper->readLine(10s);
  const auto reply = line ? orvel::parseJson(*line) : std::nullopt;
  helper->closeStdin();
  helper->wait(5s);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  if (!reply || !reply->value("ok", false) || !reply->contains("region")) {
    summarize(out, "region capture on Wayland FAILED: " + (line ? *line : std::string("no reply")));
    return 1;
  }
  char text[200];
  std::snprintf(text, sizeof text,
                "region capture on Wayland across outputs of scales 1 and 2: region-wayland.png, "
                "region %s (%.1f s)",
                (*reply)["region"].dump().c_str(), seconds);
  summarize(out, text);
  return 0;
}
