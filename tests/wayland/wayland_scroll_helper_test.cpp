// scroll-capture-helper as the host runs it, on a headless sway: a selection dragged with the
// virtual pointer over a window that shows a long page, frames checked against the page and
// against grim, wheel scrolling in pixels and in lines that moves the page by what it sent, and the
// target check: losing the focus, a floating window over the region, a move, a resize and the
// window closing each stop the capture with their message; a compositor that goes away ends the
// selection and fails the commands after it. sway's IPC that trickles, floods events, stalls or
// does not answer at all fails only the commands that needed it, with the window list's reply, and
// serves again once it is back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstring>

#include "fake_sway_ipc.h"

#include "input_counter_process.h"
#include "orvel/common/json_text.h"
#include "rgba_png.h"
#include "scroll_helper_process.h"
#include "sway_rig.h"
#include "test_pattern.h"
#include "virtual_pointer.h"

namespace orvel::waylandtest {
namespace {

using namespace std::chrono_literals;

constexpr const char* kMoved = "Target window moved, resized or closed; capture stopped.";
constexpr const char* kCovered = "Another window covers the capture region; capture stopped.";
constexpr const char* kLostFocus = "Target lost focus; capture stopped.";
constexpr int kWidth = 1280, kHeight = 720;

using x11test::error;
using x11test::ok;

// The helper on the rig's compositor.
class Helper : public x11test::ScrollHelperProcess {
 public:
  // `swaySocket` empty: the rig's own.
  explicit Helper(SwayRig& rig, const std::string& swaySocket = "")
      : ScrollHelperProcess(environment(rig, swaySocket)) {}

 private:
  static std::map<std::string, std::string> environment(SwayRig& rig,
                                                        const std::string& swaySocket) {
    auto env = rig.environment();
    env["ORVEL_BACKEND"] = "wayland";
    if (!swaySocket.empty()) env["SWAYSOCK"] = swaySocket;
    return env;
  }
};

struct Frame {
  Json reply;
  std::vector<std::uint8_t> pixels;
};

TEST(WaylandScrollHelper, SelectCaptureScrollAndEveryTargetCheck) {
  START_SWAY(rig, SwayOptions{});  // one output of 1280x720 at scale 1
  // A held virtual keyboard, so that focus and Escape reach the clients.
  ChildProcess::Options quiet;
  quiet.environment = rig->environment();
  quiet.pipeStdin = quiet.pipeStdout = false;
  auto keyboard = ChildProcess::start({"wtype", "-s", "600000"}, quiet);
  auto pointer = VirtualPointer::open(rig->waylandDisplay(), kWidth, kHeight);
  ASSERT_TRUE(keyboard && pointer);
  // The page fills the output (tiled, without borders).
  auto pageWindow = std::make_unique<InputCounter>(*rig, 1, 6);
  InputCounter& page = *pageWindow;
  ASSERT_TRUE(page.ready());
  ASSERT_TRUE(waitUntil([&] { return page.focused(); }));
  Helper helper(*rig);
  ASSERT_TRUE(helper.running());

  // Escape ends a selection; the overlay holds the keyboard exactly while it is up.
  helper.send("select");
  ASSERT_TRUE(waitUntil([&] { return !page.focused(); }));
  ASSERT_EQ(rig->run({"wtype", "-k", "Escape"}), 0);
  EXPECT_EQ(helper.reply(), (Json{{"ok", true}, {"canceled", true}}));
  ASSERT_TRUE(waitUntil([&] { return page.focused(); }));

  int x0 = 200, y0 = 150;
  const int w = 400, h = 300;
  auto select = [&] {
    helper.send("select");
    if (!waitUntil([&] { return !page.focused(); })) return Json();
    pointer->drag(x0, y0, x0 + w, y0 + h);
    // The compositor draws the pointer into the screen: away from the region.
    pointer->moveTo(kWidth - 1, kHeight - 1);
    return helper.reply();
  };
  Json selected = select();
  ASSERT_EQ(ok(selected), true) << selected.dump();
  EXPECT_EQ(selected["region"], (Json{{"x", x0}, {"y", y0}, {"width", w}, {"height", h}}))
      << selected.dump();
  EXPECT_EQ(selected["width"], w);
  EXPECT_EQ(selected["height"], h);
  EXPECT_EQ(selected["scale"], 1.0);

  auto capture = [&] {
    Frame f{helper.request("capture"), {}};
    if (ok(f.reply)) f.pixels = helper.payload(f.reply["length"].get<std::size_t>());
    return f;
  };
  // The window's page at (left, top) of the window, once it shows there.
  int left = x0, top = y0;
  // Why the latest frame was not the page, for the failure message.
  std::string notYet;
  auto pageComes = [&](int offset) {
    return waitUntil([&] {
      const Frame f = capture();
      const int bad =
          ok(f.reply) ? x11test::patternMismatches(f.pixels, w, h, left, top + offset, 6) : -1;
      notYet = bad < 0 ? error(f.reply) : std::to_string(bad) + " pixels differ";
      return bad == 0;
    });
  };
  Frame first;
  EXPECT_TRUE(waitUntil([&] {
    first = capture();
    return x11test::patternMismatches(first.pixels, w, h, left, top, 6) == 0;
  }));
  ASSERT_EQ(ok(first.reply), true) << first.reply.dump();
  EXPECT_EQ(first.reply["length"], w * h * 4);
  // The same pixels as grim's picture of the region.
  const std::string truthFile = "/tmp/orvel-grim-scroll-" + std::to_string(::getpid()) + ".png";
  ASSERT_EQ(rig->run({"grim", "-g", "200,150 400x300", truthFile}), 0);
  const auto truth = readRgbaPng(truthFile);
  std::remove(truthFile.c_str());
  ASSERT_TRUE(truth);
  Image mine = Image::uninitialized(w, h);
  std::memcpy(mine.data(), first.pixels.data(), first.pixels.size());
  EXPECT_EQ(largestDifference(rgbaOf(mine), 0, 0, *truth, 0, 0, w, h), 0);

  // Half the region's height in pixels: plain axis values from a wheel, one logical pixel each.
  EXPECT_EQ(ok(helper.request("scroll", ",\"fraction\":0.5")), true);
  // The wheel's pointer stays where it turned: away from the region, as the user's hand would.
  pointer->moveTo(kWidth - 1, kHeight - 1);
  auto wheel = page.wheel();
  ASSERT_TRUE(wheel);
  EXPECT_EQ(wheel->axisValue, 150);
  EXPECT_GT(wheel->wheelSources, 0);
  EXPECT_EQ(wheel->discreteEvents, 0);
  EXPECT_EQ(page.pageOffset(), 150);
  EXPECT_TRUE(pageComes(150)) << notYet;
  // In lines: wheel steps of 15 pixels.
  EXPECT_EQ(helper.request("fallback")["switched"], true);
  EXPECT_EQ(ok(helper.request("scroll", ",\"fraction\":0.5")), true);
  pointer->moveTo(kWidth - 1, kHeight - 1);
  wheel = page.wheel();
  ASSERT_TRUE(wheel);
  EXPECT_GT(wheel->discreteSteps, 0);
  const int offset = 150 + wheel->discreteSteps * 15;
  EXPECT_EQ(page.pageOffset(), offset);
  EXPECT_TRUE(pageComes(offset)) << notYet;

  // Another application's window opens floating over the region and takes the focus.
  auto cover = std::make_unique<InputCounter>(*rig);
  ASSERT_TRUE(cover->ready());
  ASSERT_TRUE(rig->swaymsg({"[pid=" + std::to_string(cover->pid()) + "]", "floating", "enable,",
                            "resize", "set", "200", "200,", "move", "position", "500", "350"}));
  EXPECT_TRUE(waitUntil([&] { return error(capture().reply) == kLostFocus; }));
  // "activate" focuses the target; the floating window stays above it.
  EXPECT_EQ(ok(helper.request("activate")), true);
  EXPECT_TRUE(waitUntil([&] { return page.focused(); }));
  EXPECT_TRUE(waitUntil([&] { return error(capture().reply) == kCovered; }));
  cover.reset();
  EXPECT_TRUE(pageComes(offset)) << notYet;

  // The target made floating, at a new place and size: a new selection on it.
  const std::string target = "[pid=" + std::to_string(page.pid()) + "]";
  ASSERT_TRUE(rig->swaymsg({target, "floating", "enable,", "resize", "set", "700", "600,", "move",
                            "position", "100", "50"}));
  EXPECT_TRUE(waitUntil([&] { return error(capture().reply) == kMoved; }));
  x0 = 200;
  y0 = 150;
  left = 100;
  top = 100;
  selected = select();
  ASSERT_EQ(ok(selected), true) << selected.dump();
  EXPECT_TRUE(pageComes(offset)) << notYet;
  ASSERT_TRUE(rig->swaymsg({target, "move", "position", "110", "50"}));
  EXPECT_TRUE(waitUntil([&] { return error(capture().reply) == kMoved; }));
  ASSERT_TRUE(rig->swaymsg({target, "move", "position", "100", "50"}));
  EXPECT_TRUE(pageComes(offset)) << notYet;
  ASSERT_TRUE(rig->swaymsg({target, "resize", "set", "701", "600"}));
  EXPECT_TRUE(waitUntil([&] { return error(capture().reply) == kMoved; }));
  // sway may drop a resize asked for while the last one is still on its way to the client: ask
  // until the window has its size back.
  EXPECT_TRUE(waitUntil([&] {
    rig->swaymsg({target, "resize", "set", "700", "600"});
    const Frame f = capture();
    return ok(f.reply) && x11test::patternMismatches(f.pixels, w, h, left, top + offset, 6) == 0;
  }));

  pageWindow.reset();
  EXPECT_TRUE(waitUntil([&] { return error(capture().reply) == kMoved; }));
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  EXPECT_EQ(helper.process().wait(5s), 0);
}

TEST(WaylandScrollHelper, ALostCompositorEndsTheSelectionAndFailsLaterCommands) {
  START_SWAY(rig, SwayOptions{});
  ChildProcess::Options quiet;
  quiet.environment = rig->environment();
  quiet.pipeStdin = quiet.pipeStdout = false;
  auto keyboard = ChildProcess::start({"wtype", "-s", "600000"}, quiet);
  InputCounter page(*rig);
  ASSERT_TRUE(keyboard && page.ready());
  ASSERT_TRUE(waitUntil([&] { return page.focused(); }));
  Helper helper(*rig);
  ASSERT_TRUE(helper.running());
  helper.send("select");
  ASSERT_TRUE(waitUntil([&] { return !page.focused(); }));
  rig->killCompositor();
  x11test::expectLostDesktopAnswers(helper);
}

// A desktop of one page window with the focus, a held keyboard and a virtual pointer, and the
// helper's requests on it.
struct PageDesktop {
  explicit PageDesktop(SwayRig& rig) : rig(rig) {
    ChildProcess::Options quiet;
    quiet.environment = rig.environment();
    quiet.pipeStdin = quiet.pipeStdout = false;
    keyboard = ChildProcess::start({"wtype", "-s", "600000"}, quiet);
    pointer = VirtualPointer::open(rig.waylandDisplay(), kWidth, kHeight);
    page = std::make_unique<InputCounter>(rig, 1, 6);
  }
  bool ready() {
    return keyboard && pointer && page->ready() && waitUntil([&] { return page->focused(); });
  }
  Json select(Helper& helper) {
    helper.send("select");
    if (!waitUntil([&] { return !page->focused(); })) return Json();
    pointer->drag(200, 150, 600, 450);
    pointer->moveTo(kWidth - 1, kHeight - 1);
    return helper.reply();
  }
  // A capture's reply, its frame read.
  static Json capture(Helper& helper) {
    Json reply = helper.request("capture");
    if (ok(reply)) helper.payload(reply["length"].get<std::size_t>());
    return reply;
  }
  SwayRig& rig;
  std::unique_ptr<ChildProcess> keyboard;
  std::unique_ptr<VirtualPointer> pointer;
  std::unique_ptr<InputCounter> page;
};

TEST(WaylandScrollHelper, ATricklingOrFloodingSwayIpcFailsOnlyTheCommandsThatWaitForIt) {
  START_SWAY(rig, SwayOptions{});
  PageDesktop desktop(*rig);
  ASSERT_TRUE(desktop.ready());
  // sway's own tree, served by a socket that the test scripts.
  std::string tree;
  ASSERT_TRUE(rig->swaymsg({"-t", "get_tree"}, &tree));
  auto fake = FakeSwayIpc::start(tree);
  ASSERT_TRUE(fake);
  Helper helper(*rig, fake->path());
  ASSERT_TRUE(helper.running());
  const Json selected = desktop.select(helper);
  ASSERT_EQ(ok(selected), true) << selected.dump();
  ASSERT_EQ(ok(PageDesktop::capture(helper)), true);

  // A reply that trickles: the capture waiting for it fails as with no window list.
  fake->setReplies(FakeSwayIpc::Replies::kTrickle);
  EXPECT_EQ(error(PageDesktop::capture(helper)), kMoved);
  fake->setReplies(FakeSwayIpc::Replies::kAnswer);
  EXPECT_TRUE(waitUntil([&] { return ok(PageDesktop::capture(helper)); }));

  // Events without end: the replies keep coming.
  fake->setFlood(true);
  ASSERT_TRUE(waitUntil([&] { return fake->eventsSent() > 100; }));
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(ok(PageDesktop::capture(helper)), true);
  fake->setFlood(false);

  // The end of input ends the helper while the window list waits for a trickle.
  fake->setReplies(FakeSwayIpc::Replies::kTrickle);
  helper.send("capture");
  helper.process().closeStdin();
  EXPECT_EQ(helper.process().wait(15s), 0);
}

TEST(WaylandScrollHelper, AStoppedSwayFailsACaptureAndServesAgainOnceResumed) {
  START_SWAY(rig, SwayOptions{});
  PageDesktop desktop(*rig);
  ASSERT_TRUE(desktop.ready());
  const pid_t sway = rig->compositorPid();
  ASSERT_GT(sway, 0);
  Helper helper(*rig);
  ASSERT_TRUE(helper.running());
  ASSERT_EQ(ok(desktop.select(helper)), true);
  ASSERT_EQ(ok(PageDesktop::capture(helper)), true);

  ASSERT_EQ(::kill(sway, SIGSTOP), 0);
  const Json stalled = PageDesktop::capture(helper);
  ASSERT_EQ(::kill(sway, SIGCONT), 0);
  EXPECT_EQ(error(stalled), kMoved);
  EXPECT_TRUE(waitUntil([&] { return ok(PageDesktop::capture(helper)); }));
  const Json again = desktop.select(helper);
  EXPECT_EQ(ok(again), true) << again.dump();
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
}

TEST(WaylandScrollHelper, ASwaySocketThatDoesNotAnswerIsNamedBySelect) {
  START_SWAY(rig, SwayOptions{});
  SilentSwaySockets silent;
  ASSERT_FALSE(silent.paths().empty());
  for (const std::string& socket : silent.paths()) {
    Helper helper(*rig, socket);
    ASSERT_TRUE(helper.running());
    EXPECT_EQ(error(helper.request("select")),
              "Cannot read the window list: sway's IPC does not answer at SWAYSOCK. Start Orvel "
              "inside a sway session.")
        << socket;
    // A capture before any selection keeps its usual reply.
    EXPECT_EQ(error(helper.request("capture")), kMoved);
    EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  }
}

}  // namespace
}  // namespace orvel::waylandtest
