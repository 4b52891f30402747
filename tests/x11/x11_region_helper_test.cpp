// region-capture-helper as the host runs it, on a two-monitor Xvfb desktop: a whole capture
// dragged through XTest and checked pixel by pixel against the screen, every way a capture ends
// leaving the pointer and keyboard free, a grab another client keeps, and a monitor added while a
// capture waits.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "messages.h"
#include "orvel/common/json_text.h"
#include "platform/x11/x11_key_state.h"
#include "platform/x11/x11_reply.h"
#include "platform/x11/x11_screens.h"
#include "platform/x11/x11_window_server.h"
#include "png_file.h"
#include "test_pattern.h"
#include "xvfb_rig.h"

namespace orvel::x11test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

RigOptions twoMonitors() {
  RigOptions options;
  options.width = 1600;
  options.height = 900;
  options.monitors = {{0, 0, 800, 900}, {800, 0, 800, 900}};
  return options;
}

class RegionHelper {
 public:
  explicit RegionHelper(const std::string& display) {
    ChildProcess::Options o;
    o.environment["DISPLAY"] = display;
    process_ = ChildProcess::start({ORVEL_REGION_HELPER}, o);
  }
  bool running() const { return process_ != nullptr; }
  void send(const std::string& line) { process_->write(line + "\n"); }
  Json reply(std::chrono::milliseconds timeout = 5s) {
    auto line = process_->readLine(timeout);
    if (!line) return Json();
    return parseJson(*line).value_or(Json());
  }
  ChildProcess& process() { return *process_; }

 private:
  std::unique_ptr<ChildProcess> process_;
};

class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/orvel-region-x11-XXXXXX";
    path_ = ::mkdtemp(name) ? name : "";
  }
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) fs::remove_all(path_, ignored);
  }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

Json canceled(std::int64_t id) {
  return {{"id", id}, {"ok", true}, {"canceled", true}};
}

// Opaque BGRA words of a root area, as the screen shows it.
std::vector<std::uint32_t> screenPixels(XvfbRig& rig, int x, int y, int width, int height) {
  xcb_connection_t* c = rig.connection().get();
  const x11::Reply<xcb_get_image_reply> image(
      rig.connection(),
      xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, rig.connection().root(),
                    static_cast<std::int16_t>(x), static_cast<std::int16_t>(y),
                    static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), ~0u));
  std::vector<std::uint32_t> out;
  if (!image) return out;
  const auto* words = reinterpret_cast<const std::uint32_t*>(xcb_get_image_data(image.get()));
  out.assign(words, words + static_cast<std::size_t>(width) * height);
  for (auto& w : out)
    w |= 0xff000000u;
  return out;
}

// A PNG pixel (RGBA, red in the high byte) as the screen's BGRA word.
std::uint32_t screenWord(std::uint32_t rgba) {
  return (rgba >> 24) << 16 | ((rgba >> 16) & 0xff) << 8 | ((rgba >> 8) & 0xff) |
         (rgba & 0xff) << 24;
}

// Pixels of the PNG at `path` whose screen word differs from `expected(x, y)`; -1 when the file
// is unreadable or not width by height.
template <class Expected>
int pngMismatches(const std::string& path, int width, int height, Expected expected) {
  const auto png = region::testing::readPng(path);
  if (!png || png->width != width || png->height != height) return -1;
  int mismatches = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      mismatches += screenWord(png->at(x, y)) != expected(x, y);
  }
  return mismatches;
}

bool grabbed(XvfbRig& rig) {
  return rig.pointerGrabbedElsewhere();
}

bool keyboardGrabbedElsewhere(XvfbRig& rig) {
  xcb_connection_t* c = rig.connection().get();
  const x11::Reply<xcb_grab_keyboard_reply> r(
      rig.connection(), xcb_grab_keyboard(c, 0, rig.connection().root(), XCB_CURRENT_TIME,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  const bool refused = !r || r->status != XCB_GRAB_STATUS_SUCCESS;
  if (!refused) xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
  rig.sync();
  return refused;
}

bool bothFree(XvfbRig& rig) {
  return waitUntil([&] { return !grabbed(rig) && !keyboardGrabbedElsewhere(rig); });
}

TEST(X11RegionHelper, CaptureAcrossMonitorsEqualsTheScreenUnderTheOverlay) {
  START_RIG(rig, twoMonitors());
  // Straddles both monitors, so the picture is composed from two frozen screens.
  auto window = rig->openWindow({.x = 500, .y = 100, .width = 600, .height = 500, .seed = 3});
  ASSERT_TRUE(window);
  const auto origin = rig->contentOrigin(window->window());
  ASSERT_TRUE(origin);
  const int x0 = 560, y0 = 150, x1 = 980, y1 = 470;
  const auto before = screenPixels(*rig, x0, y0, x1 - x0, y1 - y0);
  ASSERT_FALSE(before.empty());
  // The test window really is what the screen shows there.
  EXPECT_EQ(before[0], patternPixel(x0 - origin->first, y0 - origin->second, 3));

  RegionHelper helper(rig->display());
  ASSERT_TRUE(helper.running());
  TempFolder folder;
  const std::string path = folder.file("region.png");
  rig->movePointer(x0, y0);
  helper.send(R"({"command":"prepare","id":4})");
  helper.send(R"({"command":"capture","id":4,"path":")" + path + "\"}");
  ASSERT_TRUE(waitUntil([&] { return grabbed(*rig) && keyboardGrabbedElsewhere(*rig); }));
  // Once frozen, the overlay shows the frozen picture dimmed (black at 22% over it).
  const int probeX = x0 + 40, probeY = y0 + 40;
  const std::uint32_t original = before[static_cast<std::size_t>(40) * (x1 - x0) + 40];
  ASSERT_TRUE(
      waitUntil([&] { return screenPixels(*rig, probeX, probeY, 1, 1).at(0) != original; }));
  const std::uint32_t dimmed = screenPixels(*rig, probeX, probeY, 1, 1).at(0);
  for (int shift : {0, 8, 16}) {
    const double expected = ((original >> shift) & 0xff) * 0.78;
    EXPECT_NEAR(static_cast<double>((dimmed >> shift) & 0xff), expected, 2.0) << shift;
  }
  // Input goes to the helper alone: the window under the overlay sees no wheel click.
  rig->button(4, true);
  rig->button(4, false);
  rig->drag(x0, y0, x1, y1);

  const Json reply = helper.reply();
  const Json region = {{"x", x0}, {"y", y0}, {"width", x1 - x0}, {"height", y1 - y0}};
  ASSERT_EQ(reply, (Json{{"id", 4}, {"ok", true}, {"region", region}})) << reply.dump();
  // No overlay, no dimming, no cursor: every pixel is the screen's.
  EXPECT_EQ(pngMismatches(
                path, x1 - x0, y1 - y0,
                [&](int x, int y) { return before[static_cast<std::size_t>(y) * (x1 - x0) + x]; }),
            0);
  EXPECT_TRUE(bothFree(*rig));
  EXPECT_EQ(window->clicks(), (std::pair<int, int>{0, 0}));
  // The overlay is gone too: the screen is as it was.
  EXPECT_TRUE(waitUntil([&] { return screenPixels(*rig, x0, y0, x1 - x0, y1 - y0) == before; }));
}

TEST(X11RegionHelper, EveryEndOfACaptureLeavesPointerAndKeyboardFree) {
  START_RIG(rig, twoMonitors());
  // Kept apart by the server only while a capture is in progress.
  auto window = rig->openWindow({.x = 100, .y = 100, .width = 300, .height = 200, .seed = 2});
  ASSERT_TRUE(window);
  auto released = [&] { return waitUntil([&] { return !rig->redirected(window->window()); }); };
  {
    RegionHelper helper(rig->display());
    ASSERT_TRUE(helper.running());
    // A new "prepare" ends the capture in progress with its own cancel reply.
    EXPECT_FALSE(rig->redirected(window->window()));
    helper.send(R"({"command":"prepare","id":1})");
    ASSERT_TRUE(waitUntil([&] { return grabbed(*rig); }));
    EXPECT_TRUE(rig->redirected(window->window()));
    helper.send(R"({"command":"prepare","id":2})");
    EXPECT_EQ(helper.reply(), canceled(1));
    EXPECT_TRUE(waitUntil([&] { return grabbed(*rig) && keyboardGrabbedElsewhere(*rig); }));
    EXPECT_TRUE(rig->redirected(window->window()));

    rig->key(x11::kEscapeKeysym, true);
    rig->key(x11::kEscapeKeysym, false);
    EXPECT_EQ(helper.reply(), canceled(2));
    EXPECT_TRUE(bothFree(*rig));
    EXPECT_TRUE(released());

    helper.send(R"({"command":"prepare","id":3})");
    ASSERT_TRUE(waitUntil([&] { return grabbed(*rig); }));
    helper.send(R"({"command":"cancel","id":99})");
    helper.send(R"({"command":"cancel","id":3})");
    EXPECT_EQ(helper.reply(), canceled(3));
    EXPECT_TRUE(bothFree(*rig));
    EXPECT_TRUE(released());

    helper.send(R"({"command":"prepare","id":4})");
    ASSERT_TRUE(waitUntil([&] { return grabbed(*rig); }));
    helper.send(R"({"command":"quit"})");
    EXPECT_EQ(helper.reply(), canceled(4));
    EXPECT_EQ(helper.process().wait(5s), 0);
    EXPECT_TRUE(bothFree(*rig));
    EXPECT_TRUE(released());
  }
  {
    RegionHelper helper(rig->display());
    helper.send(R"({"command":"prepare","id":5})");
    ASSERT_TRUE(waitUntil([&] { return grabbed(*rig); }));
    helper.process().closeStdin();
    EXPECT_EQ(helper.reply(), canceled(5));
    EXPECT_EQ(helper.process().wait(5s), 0);
    EXPECT_TRUE(bothFree(*rig));
  }
  {
    RegionHelper helper(rig->display());
    helper.send(R"({"command":"prepare","id":6})");
    ASSERT_TRUE(waitUntil([&] { return grabbed(*rig) && keyboardGrabbedElsewhere(*rig); }));
    helper.process().kill();
    EXPECT_TRUE(bothFree(*rig));
  }
}

TEST(X11RegionHelper, AKeptGrabOrAMonitorChangeEndsTheCaptureWithItsMessage) {
  START_RIG(rig, twoMonitors());
  RegionHelper helper(rig->display());
  ASSERT_TRUE(helper.running());

  // Another client holds the keyboard and never lets go.
  xcb_connection_t* c = rig->connection().get();
  const x11::Reply<xcb_grab_keyboard_reply> held(
      rig->connection(), xcb_grab_keyboard(c, 0, rig->connection().root(), XCB_CURRENT_TIME,
                                           XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
  ASSERT_TRUE(held && held->status == XCB_GRAB_STATUS_SUCCESS);
  helper.send(R"({"command":"prepare","id":7})");
  EXPECT_EQ(helper.reply(), (Json{{"id", 7}, {"ok", false}, {"error", region::kInputUnavailable}}));
  xcb_ungrab_keyboard(c, XCB_CURRENT_TIME);
  rig->sync();
  // The helper holds nothing afterwards (its shield lets go on a thread of its own), and the
  // next capture gets its grabs.
  EXPECT_TRUE(waitUntil([&] { return !grabbed(*rig); }));

  TempFolder folder;
  helper.send(R"({"command":"prepare","id":8})");
  ASSERT_TRUE(waitUntil([&] { return grabbed(*rig); }));
  ChildProcess::Options quiet;
  quiet.pipeStdin = false;
  quiet.environment["DISPLAY"] = rig->display();
  auto xrandr =
      ChildProcess::start({"xrandr", "--setmonitor", "M2", "400/100x300/100+0+600", "none"}, quiet);
  ASSERT_TRUE(xrandr);
  ASSERT_EQ(xrandr->wait(10s), 0);
  helper.send(R"({"command":"capture","id":8,"path":")" + folder.file("x.png") + "\"}");
  EXPECT_EQ(helper.reply(),
            (Json{{"id", 8}, {"ok", false}, {"error", region::kDisplayConfigurationChanged}}));
  EXPECT_FALSE(fs::exists(folder.file("x.png")));
  EXPECT_TRUE(bothFree(*rig));
}

TEST(X11RegionHelper, TheHostsWindowIsLeftOutExactlyAndAnIdleHelperKeepsNoWindowApart) {
  START_RIG(rig, RigOptions{});
  auto target = rig->openWindow({.x = 100, .y = 100, .width = 600, .height = 400, .seed = 5});
  ASSERT_TRUE(target);
  // The host (this test, the helper's parent) has a window over the target, before the capture
  // and through it, so what the target shows under it was never on the screen.
  auto host = rig->openWindow(XvfbRig::hostWindow(250, 200, 250, 150));
  ASSERT_TRUE(host);
  const auto origin = rig->contentOrigin(target->window());
  ASSERT_TRUE(origin);

  RegionHelper helper(rig->display());
  ASSERT_TRUE(helper.running());
  TempFolder folder;
  for (int id : {1, 2}) {
    const std::string path = folder.file("host" + std::to_string(id) + ".png");
    const int x0 = 150, y0 = 150, x1 = 650, y1 = 450;
    rig->movePointer(x0, y0);
    helper.send(R"({"command":"prepare","id":)" + std::to_string(id) + "}");
    helper.send(R"({"command":"capture","id":)" + std::to_string(id) + R"(,"path":")" + path +
                "\"}");
    ASSERT_TRUE(waitUntil([&] { return grabbed(*rig) && keyboardGrabbedElsewhere(*rig); }));
    EXPECT_TRUE(rig->redirected(target->window()));
    rig->drag(x0, y0, x1, y1);
    const Json reply = helper.reply();
    ASSERT_EQ(reply.value("ok", false), true) << reply.dump();
    // The target everywhere, the part under the host's window included.
    EXPECT_EQ(pngMismatches(path, x1 - x0, y1 - y0,
                            [&](int x, int y) {
                              return patternPixel(x0 + x - origin->first, y0 + y - origin->second,
                                                  5);
                            }),
              0)
        << "capture " << id;
    // Idle again: the server keeps no copies for the helper.
    EXPECT_TRUE(waitUntil([&] { return !rig->redirected(target->window()); }));
  }
}

TEST(X11RegionHelper, ALostDisplayEndsTheCaptureAndLaterRequestsGetTheirReplies) {
  START_RIG(rig, twoMonitors());
  TempFolder folder;
  RegionHelper helper(rig->display());
  ASSERT_TRUE(helper.running());
  // Frozen and waiting for the drag when the server goes.
  helper.send(R"({"command":"prepare","id":1})");
  ASSERT_TRUE(waitUntil([&] { return grabbed(*rig); }));
  helper.send(R"({"command":"capture","id":1,"path":")" + folder.file("x.png") + "\"}");
  // The frozen picture is up once the overlay has pixels: a window of the helper's own.
  ASSERT_TRUE(waitUntil([&] {
    x11::X11Screens screens(rig->connection());
    x11::X11WindowServer server(rig->connection(), screens);
    for (const auto& w : server.onScreenWindows()) {
      if (w.value(platform::kCGWindowOwnerPID, 0) == helper.process().pid() &&
          w.value(platform::kCGWindowLayer, 0) == 1000) {
        return true;
      }
    }
    return false;
  }));
  rig->killServer();
  EXPECT_EQ(helper.reply(), canceled(1));
  helper.send(R"({"command":"prepare","id":2})");
  const Json refused = helper.reply();
  EXPECT_EQ(refused.value("id", 0), 2);
  EXPECT_EQ(refused.value("permission", false), true);
  EXPECT_EQ(refused.value("error", ""),
            "Cannot connect to the display. Start Orvel inside your desktop session.");
  helper.send(R"({"command":"quit"})");
  EXPECT_EQ(helper.process().wait(5s), 0);
  EXPECT_FALSE(fs::exists(folder.file("x.png")));
}

}  // namespace
}  // namespace orvel::x11test
