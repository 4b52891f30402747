// scroll-capture-helper against sway's IPC when it trickles, floods or stalls, on a headless sway
// whose IPC is served by a scripted socket (fake_sway_ipc.h, with sway's own tree) or, for the
// stall, is the rig's sway itself, stopped with SIGSTOP. A fresh helper for each case:
//  - trickle: how long a capture waits for a get_tree reply trickled a byte at a time, and how long
//    the helper takes to end after the end of its input while the IPC trickles;
//  - flood: a capture's round trip and the helper's CPU time while the socket floods events;
//  - stop: the reply to a capture made while sway is stopped, and whether captures work again
//    once it resumes (the time from SIGCONT to the first that does).
//
//   wayland_sway_ipc_bench [HELPER]     (default: this build's scroll-capture-helper)
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "fake_sway_ipc.h"
#include "input_counter_process.h"
#include "orvel/common/json_text.h"
#include "platform/wayland/sway_window_list.h"
#include "sway_rig.h"
#include "virtual_pointer.h"

namespace {

using namespace std::chrono_literals;
using orvel::Json;
using orvel::waylandtest::ChildProcess;
using orvel::waylandtest::FakeSwayIpc;
using orvel::waylandtest::SwayRig;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1280, kHeight = 720;
constexpr auto kPatience = 30s;
constexpr int kFloodCaptures = 50;

double seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// User and system CPU time of `pid` so far, in seconds.
double cpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string field;
  double ticks = 0;
  for (int i = 1; i <= 15 && stat >> field; ++i)
    if (i >= 14) ticks += std::stod(field);
  return ticks / double(::sysconf(_SC_CLK_TCK));
}

struct Session {
  std::unique_ptr<ChildProcess> helper;
  Json ask(const std::string& command, std::chrono::milliseconds patience = kPatience) {
    helper->write("{\"command\":\"" + command + "\"}\n");
    auto line = helper->readLine(patience);
    Json reply = line ? orvel::parseJson(*line).value_or(Json()) : Json();
    std::vector<std::uint8_t> frame;
    if (reply.is_object() && reply.value("ok", false))
      helper->readBytes(reply["length"].get<std::size_t>(), frame, patience);
    return reply;
  }
};

std::string describe(const Json& reply) {
  if (!reply.is_object()) return "no reply";
  return reply.value("ok", false) ? "ok" : reply.value("error", std::string("?"));
}

}  // namespace

int main(int argc, char** argv) {
  const std::string helperPath = argc > 1 ? argv[1] : ORVEL_SCROLL_HELPER;
  std::string whyNot;
  auto rig = SwayRig::start({}, whyNot);
  if (!rig) {
    std::printf("sway IPC bench skipped: %s\n", whyNot.c_str());
    return 0;
  }
  orvel::waylandtest::InputCounter page(*rig, 1, 6);
  auto pointer = orvel::waylandtest::VirtualPointer::open(rig->waylandDisplay(), kWidth, kHeight);
  ChildProcess::Options quiet;
  quiet.environment = rig->environment();
  quiet.pipeStdin = quiet.pipeStdout = false;
  auto keyboard = ChildProcess::start({"wtype", "-s", "600000"}, quiet);
  if (!page.ready() || !pointer || !keyboard ||
      !orvel::waylandtest::waitUntil([&] { return page.focused(); }))
    return 1;
  std::string tree;
  if (!rig->swaymsg({"-t", "get_tree"}, &tree)) return 1;
  auto fake = FakeSwayIpc::start(tree);
  if (!fake) return 1;

  // A helper on `socket` with a target selected and one frame captured.
  auto start = [&](const std::string& socket) -> std::optional<Session> {
    ChildProcess::Options o;
    o.environment = rig->environment();
    o.environment["ORVEL_BACKEND"] = "wayland";
    o.environment["SWAYSOCK"] = socket;
    Session s{ChildProcess::start({helperPath}, o)};
    if (!s.helper) return std::nullopt;
    s.helper->write("{\"command\":\"select\"}\n");
    if (!orvel::waylandtest::waitUntil([&] { return !page.focused(); })) return std::nullopt;
    pointer->drag(200, 150, 600, 450);
    pointer->moveTo(kWidth - 1, kHeight - 1);
    auto line = s.helper->readLine(kPatience);
    if (!line || describe(orvel::parseJson(*line).value_or(Json())) != "ok") return std::nullopt;
    if (describe(s.ask("capture")) != "ok") return std::nullopt;
    return s;
  };
  std::printf("scroll-capture-helper %s on headless sway\n", helperPath.c_str());

  if (auto s = start(fake->path())) {
    fake->setReplies(FakeSwayIpc::Replies::kTrickle);
    auto t0 = Clock::now();
    const Json reply = s->ask("capture");
    std::printf("  trickle: capture answered \"%s\" after %.2f s (waited at most %.0f s)\n",
                describe(reply).c_str(), seconds(Clock::now() - t0), seconds(kPatience));
    // Past the pause after a failed exchange, so the next capture asks sway again; the input ends
    // once that request is on its way.
    std::this_thread::sleep_for(orvel::wayland::kSwayRetryPause + 100ms);
    const auto requests = fake->requests();
    s->helper->write("{\"command\":\"capture\"}\n");
    orvel::waylandtest::waitUntil([&] { return fake->requests() > requests; });
    s->helper->closeStdin();
    t0 = Clock::now();
    const auto status = s->helper->wait(kPatience);
    std::printf("  trickle: end of input during a capture: %s after %.2f s\n",
                status ? "ended" : "still running", seconds(Clock::now() - t0));
    fake->setReplies(FakeSwayIpc::Replies::kAnswer);
  }
  if (auto s = start(fake->path())) {
    const double cpu0 = cpuSeconds(s->helper->pid());
    fake->setFlood(true);
    orvel::waylandtest::waitUntil([&] { return fake->eventsSent() > 100; });
    const auto t0 = Clock::now();
    int answered = 0;
    for (int i = 0; i < kFloodCaptures; ++i)
      if (describe(s->ask("capture")) == "ok") ++answered;
    const double wall = seconds(Clock::now() - t0);
    const double cpu = cpuSeconds(s->helper->pid()) - cpu0;
    std::printf(
        "  flood: %d of %d captures ok in %.2f s, helper CPU %.2f s (%.0f %% of one core), "
        "%zu events sent\n",
        answered, kFloodCaptures, wall, cpu, 100 * cpu / wall, fake->eventsSent());
    fake->setFlood(false);
  }
  if (auto s = start(rig->environment().at("SWAYSOCK"))) {
    const pid_t sway = rig->compositorPid();
    ::kill(sway, SIGSTOP);
    auto t0 = Clock::now();
    const Json stalled = s->ask("capture");
    const double stalledFor = seconds(Clock::now() - t0);
    ::kill(sway, SIGCONT);
    t0 = Clock::now();
    bool back = false;
    while (!back && Clock::now() - t0 < kPatience)
      back = describe(s->ask("capture", 10s)) == "ok";
    std::printf("  stop: capture while stopped \"%s\" after %.2f s; after SIGCONT %s%.2f s\n",
                describe(stalled).c_str(), stalledFor,
                back ? "captures work again after " : "captures still fail after ",
                seconds(Clock::now() - t0));
  }
  return 0;
}
