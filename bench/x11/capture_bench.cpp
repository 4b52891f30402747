// Side by side on one Xvfb server:
//  - the "capture" round trip of scroll-capture-helper for a 1920x1080 region (request line in,
//    reply line and frame out, validate() twice inside), against its floor: one XShm grab of the
//    same area plus one write of the frame through a pipe of the same kind, read on the other end
//    into a frame-sized buffer as the helper's frames are;
//  - validate() with 100 windows on screen: time and round trips per call.
// Prints the ratio of the capture round trip to the floor.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>
#include <xcb/shm.h>

#include <cstdio>
#include <map>
#include <thread>

#include "mac_scroll_target.h"
#include "orvel/common/reply_writer.h"
#include "platform/x11/shm_segment.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_reply.h"
#include "platform/x11/x11_workspace.h"
#include "scroll_capture_helper.h"
#include "xvfb_rig.h"

namespace {

using namespace std::chrono_literals;
using namespace orvel;
using x11test::XvfbRig;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

XvfbRig* rig = nullptr;
x11test::TestWindowProcess* window = nullptr;

void BM_FloorShmGrabAndPipeWrite(benchmark::State& state) {
  auto connection = x11::X11Connection::open(rig->display().c_str());
  const std::size_t bytes = std::size_t{kWidth} * kHeight * 4;
  auto segment = x11::ShmSegment::create(*connection, bytes);
  if (!segment) {
    state.SkipWithError("no XShm");
    return;
  }
  int fds[2];
  if (::pipe(fds) != 0) return;
  enlargePipeBuffer(fds[1]);
  // The reader takes each frame into a frame-sized buffer, as the helper's benchmark host does.
  std::thread reader([fd = fds[0], bytes] {
    std::vector<std::uint8_t> received(bytes);
    for (std::size_t done = 0;;) {
      const ssize_t n = ::read(fd, received.data() + done, bytes - done);
      if (n <= 0) break;
      done = (done + static_cast<std::size_t>(n)) % bytes;
    }
  });
  std::vector<std::uint8_t> frame(bytes);
  xcb_connection_t* c = connection->get();
  for (auto _ : state) {
    const x11::Reply<xcb_shm_get_image_reply> r(
        *connection, xcb_shm_get_image(c, connection->root(), 20, 20, kWidth, kHeight, ~0u,
                                       XCB_IMAGE_FORMAT_Z_PIXMAP, segment->id(), 0));
    r.get();  // the pixels are in the segment once the reply is in
    std::memcpy(frame.data(), segment->data(), bytes);
    std::size_t done = 0;
    while (done < bytes) {
      const ssize_t n = ::write(fds[1], frame.data() + done, bytes - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    benchmark::DoNotOptimize(r.get());
  }
  ::close(fds[1]);
  reader.join();
  ::close(fds[0]);
}

void BM_HelperCaptureRoundTrip(benchmark::State& state) {
  testsupport::ChildProcess::Options o;
  o.environment["DISPLAY"] = rig->display();
  auto helper = testsupport::ChildProcess::start({ORVEL_SCROLL_HELPER}, o);
  helper->write("{\"command\":\"select\"}\n");
  // The overlay is up once it holds the pointer.
  x11test::waitUntil([] { return rig->pointerGrabbedElsewhere(); }, 10s);
  rig->drag(20, 20, 20 + kWidth, 20 + kHeight);
  auto selected = helper->readLine(5s);
  if (!selected || selected->find("\"ok\":true") == std::string::npos) {
    state.SkipWithError(("select failed: " + selected.value_or("no reply")).c_str());
    return;
  }
  std::vector<std::uint8_t> frame(std::size_t{kWidth} * kHeight * 4);
  for (auto _ : state) {
    helper->write("{\"command\":\"capture\"}\n");
    auto line = helper->readLine(5s);
    if (!line || line->find("\"ok\":true") == std::string::npos ||
        !helper->readInto(frame.data(), frame.size(), 5s)) {
      state.SkipWithError(("capture failed: " + line.value_or("no reply")).c_str());
      break;
    }
  }
  helper->write("{\"command\":\"close\"}\n");
  helper->wait(5s);
}

class NullChannel : public ReplyChannel {
 public:
  bool write(std::string_view, std::span<const std::uint8_t>) override { return true; }
};

void BM_Validate100Windows(benchmark::State& state) {
  SteadyClock clock;
  EventLoop loop(clock);
  x11::X11Desktop desktop(loop, rig->display().c_str());
  NullChannel out;
  scroll::ShapeContentBounds content(desktop.windowShapes(), desktop.windowServer(), clock);
  scroll::ScrollCaptureHelper helper(
      loop,
      {desktop.screens(), desktop.permissions(), desktop.keys(), desktop.windowServer(),
       desktop.workspace(), content, desktop.capture(), desktop.overlay(), desktop.scrollEvents()},
      out, {::getpid(), ::getppid()}, [](int) {});
  const Json list = desktop.windowServer().onScreenWindows();
  const Json* entry = nullptr;
  for (const auto& w : list) {
    if (w.value(platform::kCGWindowNumber, 0u) == window->window()) entry = &w;
  }
  if (!entry || list.size() < 100) {
    state.SkipWithError("the windows are not on screen");
    return;
  }
  const auto& b = (*entry)[platform::kCGWindowBounds];
  const Rect bounds{b["X"], b["Y"], b["Width"], b["Height"]};
  desktop.workspace().activate(window->pid(), window->window());
  x11test::waitUntil([&] { return desktop.workspace().frontmostPID() == window->pid(); });
  helper.state().lockedTarget = scroll::MacScrollTarget::make(
      window->pid(), desktop.workspace().application(window->pid())->bundleID, window->window(),
      bounds, bounds.insetBy(100, 100));
  if (auto check = helper.validate(); !check) {
    state.SkipWithError(("validate failed: " + check.error().description).c_str());
    return;
  }
  const auto before = desktop.roundTrips();
  for (auto _ : state)
    benchmark::DoNotOptimize(helper.validate());
  state.counters["round_trips"] =
      benchmark::Counter(double(desktop.roundTrips() - before) / double(state.iterations()));
  state.counters["windows"] = double(list.size());
}

class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const auto& r : runs)
      if (!r.error_occurred) times[r.benchmark_name()] = r.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
  std::string whyNot;
  x11test::RigOptions options;
  options.width = 2000;
  options.height = 1200;
  auto started = XvfbRig::start(options, whyNot);
  if (!started) {
    std::printf("skipped: %s\n", whyNot.c_str());
    return 0;
  }
  rig = started.get();
  // The target, with 99 more windows of the same process behind it.
  auto target = rig->openWindow(
      {.title = "Bench", .x = 0, .y = 0, .width = 1980, .height = 1160, .seed = 2, .extra = 99});
  if (!target) return 1;
  window = target.get();

  benchmark::Initialize(&argc, argv);
  benchmark::RegisterBenchmark("floor: XShm grab + pipe write, 1920x1080",
                               BM_FloorShmGrabAndPipeWrite)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("helper: capture round trip, 1920x1080", BM_HelperCaptureRoundTrip)
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime();
  benchmark::RegisterBenchmark("validate() with 100 windows", BM_Validate100Windows)
      ->Unit(benchmark::kMicrosecond)
      ->UseRealTime();
  RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const auto floor = reporter.times.find("floor: XShm grab + pipe write, 1920x1080/real_time");
  const auto helper = reporter.times.find("helper: capture round trip, 1920x1080/real_time");
  if (floor != reporter.times.end() && helper != reporter.times.end()) {
    std::printf("capture round trip / floor: %.2f (target: at most 1.5)\n",
                helper->second / floor->second);
  }
  benchmark::Shutdown();
}
