// Memory of region-capture-helper under a burst of requests, on one 4000x2300 Xvfb: ROUNDS rounds
// of prepare A, capture A, prepare B (which cancels A), cancel B, prepare C, cancel C, written at
// once (five prepare/cancel requests and one capture a round). Waits for every reply, then prints
// the helper's peak resident size (VmHWM) and the size it settled at (VmRSS).
//
//   region_burst_bench [rounds [helper]]    (default 1000, the helper built with it)
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "xvfb_rig.h"

namespace {

using namespace std::chrono_literals;
using orvel::testsupport::ChildProcess;
using orvel::x11test::XvfbRig;
namespace fs = std::filesystem;

// A line of /proc/PID/status in MB, or -1.
double statusMegabytes(pid_t pid, const std::string& key) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) == 0) return std::atof(line.c_str() + key.size() + 1) / 1024;
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;
  orvel::x11test::RigOptions options;
  options.width = 4000;
  options.height = 2300;
  std::string whyNot;
  auto rig = XvfbRig::start(options, whyNot);
  if (!rig) {
    std::printf("region burst skipped: %s\n", whyNot.c_str());
    return 0;
  }
  auto window = rig->openWindow({.x = 0, .y = 0, .width = 4000, .height = 2300, .seed = 5});
  char folderName[] = "/tmp/orvel-region-burst-XXXXXX";
  const std::string folder = ::mkdtemp(folderName);
  ChildProcess::Options o;
  o.environment["DISPLAY"] = rig->display();
  auto helper = ChildProcess::start({argc > 2 ? argv[2] : ORVEL_REGION_HELPER}, o);
  if (!helper) {
    std::printf("region burst: the helper did not start\n");
    return 1;
  }
  // One capture first, so that the settled size includes what any capture keeps.
  helper->write(R"({"command":"prepare","id":1})"
                "\n"
                R"({"command":"cancel","id":1})"
                "\n");
  if (!helper->readLine(10s)) return 1;
  const double before = statusMegabytes(helper->pid(), "VmHWM");

  std::string burst;
  int prepares = 0;
  std::int64_t id = 10;
  for (int r = 0; r < rounds; ++r) {
    const std::string a = std::to_string(id++), b = std::to_string(id++), c = std::to_string(id++);
    burst += R"({"command":"prepare","id":)" + a + "}\n";
    burst += R"({"command":"capture","id":)" + a + R"(,"path":")" + folder + "/" + a + ".png\"}\n";
    burst += R"({"command":"prepare","id":)" + b + "}\n";
    burst += R"({"command":"cancel","id":)" + b + "}\n";
    burst += R"({"command":"prepare","id":)" + c + "}\n";
    burst += R"({"command":"cancel","id":)" + c + "}\n";
    prepares += 3;
  }
  const auto started = std::chrono::steady_clock::now();
  helper->write(burst);
  int replies = 0;
  while (replies < prepares && helper->readLine(60s))
    ++replies;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  const double peak = statusMegabytes(helper->pid(), "VmHWM");
  const double settled = statusMegabytes(helper->pid(), "VmRSS");
  std::printf(
      "region burst on Xvfb 4000x2300: %d rounds (%d prepare/cancel, %d captures), %d of %d "
      "replies in %.1f s\n"
      "helper peak resident %.0f MB (%.0f MB before the burst), settled at %.0f MB\n",
      rounds, rounds * 5, rounds, replies, prepares, seconds, peak, before, settled);
  helper->closeStdin();
  helper->wait(10s);
  std::error_code ignored;
  fs::remove_all(folder, ignored);
  return replies == prepares ? 0 : 1;
}
