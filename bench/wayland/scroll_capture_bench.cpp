// The scroll helper on a headless sway output of 1920x1080:
//  - the capture round trip: from the "capture" command written to scroll-capture-helper to the
//    last byte of its 1920x1080 frame read, against its floor, one capture_output_region of the
//    same region on a connection of this process plus one write of the frame into a drained pipe
//    (target: at most 1.5 times the floor);
//  - the window list behind every target check, with 100 views open: sway's cached list (what a
//    check costs while sway reported no change: target at most 2 ms, no IPC round trip) and the
//    tree asked for afresh (what a check costs when it must see resizes and floating moves, which
//    sway 1.7 does not report; the reads of one check share one tree).
//
//   wayland_scroll_capture_bench [rounds]        (default 15)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "input_counter_process.h"
#include "orvel/common/json_text.h"
#include "orvel/common/reply_writer.h"
#include "platform/wayland/region_frame_capture.h"
#include "platform/wayland/sway_window_list.h"
#include "platform/wayland/sway_window_server.h"
#include "platform/wayland/wayland_screens.h"
#include "sway_rig.h"
#include "virtual_pointer.h"

namespace {

using namespace std::chrono_literals;
using orvel::waylandtest::ChildProcess;
using orvel::waylandtest::InputCounter;
using orvel::waylandtest::SwayRig;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1920, kHeight = 1080;
constexpr double kRatioTarget = 1.5;
constexpr double kCheckTargetMs = 2;

double ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double median(std::vector<double> v) {
  if (v.empty()) return -1;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// A pipe whose reader drains everything written to it on its own thread.
struct DrainedPipe {
  int fds[2] = {-1, -1};
  std::thread reader;
  DrainedPipe() {
    if (::pipe(fds) != 0) return;
    orvel::enlargePipeBuffer(fds[1]);
    reader = std::thread([fd = fds[0]] {
      std::vector<char> buf(1 << 20);
      while (::read(fd, buf.data(), buf.size()) > 0) {
      }
    });
  }
  ~DrainedPipe() {
    ::close(fds[1]);
    if (reader.joinable()) reader.join();
    ::close(fds[0]);
  }
  bool write(const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
      const ssize_t w = ::write(fds[1], data, n);
      if (w <= 0) return false;
      data += w;
      n -= std::size_t(w);
    }
    return true;
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  orvel::waylandtest::SwayOptions options;
  // Room around the region, so that it lies inside the page's window.
  options.outputs = {{kWidth + 80, kHeight + 80, 0, 0, 1, "#336699"}};
  std::string whyNot;
  auto rig = SwayRig::start(options, whyNot);
  if (!rig) {
    std::printf("Wayland scroll capture bench skipped: %s\n", whyNot.c_str());
    return 0;
  }
  InputCounter page(*rig, 1, 6);
  auto pointer =
      orvel::waylandtest::VirtualPointer::open(rig->waylandDisplay(), kWidth + 80, kHeight + 80);
  ChildProcess::Options o;
  o.environment = rig->environment();
  o.environment["ORVEL_BACKEND"] = "wayland";
  auto helper = ChildProcess::start({ORVEL_SCROLL_HELPER}, o);
  // A held keyboard: the page shows when the overlay takes the keyboard from it.
  ChildProcess::Options quiet;
  quiet.environment = rig->environment();
  quiet.pipeStdin = quiet.pipeStdout = false;
  auto keyboard = ChildProcess::start({"wtype", "-s", "600000"}, quiet);
  if (!page.ready() || !pointer || !helper || !keyboard ||
      !orvel::waylandtest::waitUntil([&] { return page.focused(); })) {
    std::printf("Wayland scroll capture bench skipped: no page, pointer or helper\n");
    return 0;
  }
  auto ask = [&](const std::string& command) {
    helper->write("{\"command\":\"" + command + "\"}\n");
    auto line = helper->readLine(20s);
    return line ? orvel::parseJson(*line).value_or(orvel::Json()) : orvel::Json();
  };
  helper->write("{\"command\":\"select\"}\n");
  // The overlay takes the keyboard from the page once it is up.
  orvel::waylandtest::waitUntil([&] { return page.counts().focused == 0; });
  pointer->drag(40, 40, 40 + kWidth, 40 + kHeight);
  pointer->moveTo(kWidth + 79, kHeight + 79);
  auto line = helper->readLine(20s);
  const orvel::Json selected =
      line ? orvel::parseJson(*line).value_or(orvel::Json()) : orvel::Json();
  if (!selected.is_object() || selected.value("width", 0) != kWidth) {
    std::printf("Wayland scroll capture bench: the selection failed: %s\n",
                selected.dump().c_str());
    return 1;
  }

  std::vector<std::uint8_t> frame(std::size_t(kWidth) * kHeight * 4);
  std::vector<double> helperMs;
  for (int r = 0; r < rounds + 1; ++r) {
    const auto start = Clock::now();
    const orvel::Json reply = ask("capture");
    if (!reply.value("ok", false) || !helper->readInto(frame.data(), frame.size(), 20s)) {
      std::printf("capture failed: %s\n", reply.dump().c_str());
      return 1;
    }
    // The first one also maps the buffers in.
    if (r > 0) helperMs.push_back(ms(Clock::now() - start));
  }

  auto connection = orvel::wayland::WaylandConnection::open(rig->waylandDisplay().c_str());
  if (!connection || !connection->roundtrip()) return 1;
  orvel::wayland::RegionFrameCapture frames(*connection);
  const std::uint32_t output = connection->layout().outputs().front().id;
  DrainedPipe pipe;
  std::vector<double> floorMs;
  for (int r = 0; r < rounds + 1; ++r) {
    const auto start = Clock::now();
    auto picture = frames.capture(output, {40, 40, kWidth, kHeight});
    if (!picture || !pipe.write(picture->data(), picture->bytes().size())) return 1;
    if (r > 0) floorMs.push_back(ms(Clock::now() - start));
  }
  const double h = median(helperMs), f = median(floorMs);
  std::printf("Scroll capture on headless sway, %dx%d frame, %d rounds, medians\n", kWidth, kHeight,
              rounds);
  std::printf("  helper round trip %.2f ms, floor %.2f ms, ratio %.2f (target <= %.1f: %s)\n", h, f,
              h / f, kRatioTarget, h / f <= kRatioTarget ? "met" : "NOT met");
  helper->write("{\"command\":\"close\"}\n");
  helper->wait(5s);

  // The window list with 100 views.
  InputCounter many(*rig, 99);
  auto list = orvel::wayland::SwayWindowList::open(rig->environment().at("SWAYSOCK").c_str());
  if (!many.ready() || !list) return 1;
  orvel::wayland::WaylandScreens screens(*connection);
  screens.screens();
  orvel::waylandtest::waitUntil([&] {
    const auto views = list->read(orvel::wayland::SwayFreshness::kAsk);
    return views && views->size() == 100;
  });
  orvel::wayland::SwayWindowServer cached(*list, screens, orvel::wayland::SwayFreshness::kReported);
  orvel::wayland::SwayWindowServer asking(*list, screens, orvel::wayland::SwayFreshness::kAsk);
  cached.onScreenWindows();
  std::vector<double> cachedMs, askingMs;
  std::size_t listed = 0;
  const auto tripsBefore = list->roundTrips();
  for (int r = 0; r < 200; ++r) {
    const auto start = Clock::now();
    listed = cached.onScreenWindows().size();
    cachedMs.push_back(ms(Clock::now() - start));
  }
  const auto cachedTrips = list->roundTrips() - tripsBefore;
  for (int r = 0; r < 50; ++r) {
    const auto start = Clock::now();
    asking.onScreenWindows();
    askingMs.push_back(ms(Clock::now() - start));
  }
  const double c = median(cachedMs), a = median(askingMs);
  std::printf(
      "  window list of %zu views: cached %.3f ms with %llu IPC round trips in 200 reads "
      "(target <= %.0f ms, none: %s); get_tree afresh (one a target check) %.3f ms\n",
      listed, c, static_cast<unsigned long long>(cachedTrips), kCheckTargetMs,
      c <= kCheckTargetMs && cachedTrips == 0 ? "met" : "NOT met", a);
  return 0;
}
