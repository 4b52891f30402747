// scroll-capture-helper on a headless gnome-shell, installed into a temporary prefix whose data
// folder the shell reads, run as the host runs it, the backend its own choice: before Orvel's
// extension runs, "select" says how to enable it; once enabled, a selection dragged (through
// mutter's RemoteDesktop) over a maximized GTK text view that has the focus and the hand's latest
// click gives frames equal to the shell's own picture of the region, a scroll moves the view and
// the next frame shows it, "activate" keeps the target in front, and the window closing stops
// the capture.
#include <gtest/gtest.h>

#include <cstdlib>

#include <cstring>

#include "gnome_hand.h"
#include "gnome_rig.h"
#include "installed_project.h"
#include "loop_runner.h"
#include "platform/gnome/gnome_window_list.h"
#include "platform/gnome/monitor_pictures.h"
#include "rig_support.h"
#include "scroll_helper_process.h"

namespace orvel::gnometest {
namespace {

using namespace std::chrono_literals;
using testsupport::ChildProcess;
using testsupport::waitUntil;
using x11test::error;
using x11test::ok;
using x11test::ScrollHelperProcess;

constexpr const char* kMoved = "Target window moved, resized or closed; capture stopped.";
// Inside the maximized page's text, on the first monitor, clear of its scroll bar.
constexpr int x0 = 200, y0 = 200, w = 480, h = 320;

// The GTK page (gtk_page.py), maximized, which says how far its view scrolled.
class GtkPage {
 public:
  explicit GtkPage(const GnomeRig& rig)
      : process_(rig.spawn(
            {"/usr/bin/python3", ORVEL_GTK_PAGE, "Orvel scroll page", "2000"},
            {.environment = {
                 {"GDK_BACKEND", "wayland"}, {"GSK_RENDERER", "cairo"}, {"NO_AT_BRIDGE", "1"}}})) {
    ready_ =
        process_ && lineComes("ready") && process_->write("maximize\n") && lineComes("maximized 1");
  }
  bool ready() const { return ready_; }
  int scrolled() {
    while (auto line = process_->readLine(1ms))
      if (line->rfind("scrolled ", 0) == 0) scrolled_ = std::atoi(line->c_str() + 9);
    return scrolled_;
  }
  void close() { process_->write("quit\n"); }

 private:
  bool lineComes(const std::string& wanted) {
    return waitUntil([&] { return process_->readLine(1ms) == wanted; }, 30s);
  }
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
  int scrolled_ = 0;
};

class GnomeScrollHelperTest : public ::testing::Test {
 protected:
  // The shell's own picture of the region, BGRA rows; empty when it fails.
  std::vector<std::uint8_t> truth() {
    auto pictures = dbustest::runTask<Expected<std::vector<gnome::MonitorPicture>, Failure>>(
        loop_, [&] { return gnome::takeMonitorPictures(*bus_, *pipewire_, 10s); }, 15s);
    if (!pictures || !*pictures) return {};
    const Image& first = (**pictures)[0].picture;
    std::vector<std::uint8_t> out(std::size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
      std::memcpy(out.data() + std::size_t(y) * w * 4,
                  first.data() + std::size_t(y0 + y) * first.stride() + x0 * 4, std::size_t(w) * 4);
    return out;
  }

  SteadyClock clock_;
  EventLoop loop_{clock_};
  std::unique_ptr<dbus::DbusConnection> bus_;
  std::unique_ptr<gnome::PipeWireConnection> pipewire_;
};

// Pixels whose colour differs (the alpha of a BGRx frame says nothing).
long differing(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
  if (a.size() != b.size() || a.empty()) return -1;
  long n = 0;
  for (std::size_t i = 0; i < a.size(); i += 4)
    n += std::memcmp(&a[i], &b[i], 3) != 0;
  return n;
}

TEST_F(GnomeScrollHelperTest, InstalledHelperNeedsTheExtensionThenCapturesScrollsAndSeesTheEnd) {
  testsupport::InstalledProject installed;
  std::string log;
  ASSERT_TRUE(installed.install(ORVEL_BUILD_DIR, log)) << log;
  GnomeOptions options;
  options.dataDirs = {installed.prefix() + "/share"};
  START_GNOME(rig, options);
  rig->enter();
  auto bus = dbus::DbusConnection::openSession(loop_);
  ASSERT_TRUE(bus) << bus.error().description;
  bus_ = std::move(*bus);
  auto pipewire = gnome::PipeWireConnection::open(loop_);
  ASSERT_TRUE(pipewire) << pipewire.error().description;
  pipewire_ = std::move(*pipewire);
  ASSERT_TRUE(leaveOverview(loop_, *bus_)) << rig->shellLog();
  auto hand = GnomeHand::open(loop_, *bus_, whyNot);
  ASSERT_TRUE(hand) << whyNot;
  ASSERT_TRUE(hand->warmUp());
  GtkPage page(*rig);
  ASSERT_TRUE(page.ready());
  // The page focused by a click, as a user's page is: the overlay must come over a window that
  // has the focus and the user's latest input.
  ASSERT_TRUE(hand->move(x0 + w / 2, y0 + h / 2) && hand->button(true) && hand->button(false));
  std::vector<std::uint8_t> before;
  ASSERT_TRUE(waitUntil(
      [&] {
        auto a = truth();
        before = truth();
        return !a.empty() && a == before;
      },
      30s));

  // The backend is the helper's own choice.
  ScrollHelperProcess helper(
      rig->spawn({installed.prefix() + "/libexec/orvel/scroll-capture-helper"}));
  ASSERT_TRUE(helper.running());
  // The helper may still be asking the bus when "select" comes: then the overlay shows, and the
  // answer comes after the drag.
  helper.send("select");
  Json refused;
  ASSERT_TRUE(waitUntil(
      [&] {
        if (auto line = helper.process().readLine(1ms)) {
          refused = parseJson(*line).value_or(Json());
          return true;
        }
        return differing(truth(), before) > 0;
      },
      30s));
  if (refused.is_null()) {
    ASSERT_TRUE(hand->move(x0, y0) && hand->button(true) && hand->move(x0 + w, y0 + h) &&
                hand->button(false));
    refused = helper.reply(20s);
  }
  EXPECT_EQ(error(refused), gnome::kExtensionNotEnabled);
  ASSERT_TRUE(enableExtension(loop_, *bus_, gnome::kExtensionUuid, whyNot)) << whyNot;

  // The helper learns of the extension from the bus a moment later (until then "select" answers
  // at once that it is not running); the overlay dims the region once it is up.
  bool overlayUp = false;
  for (int attempt = 0; attempt < 20 && !overlayUp; ++attempt) {
    helper.send("select");
    Json early;
    ASSERT_TRUE(waitUntil(
        [&] {
          if (auto line = helper.process().readLine(1ms)) {
            early = parseJson(*line).value_or(Json());
            return true;
          }
          return differing(truth(), before) > 0;
        },
        30s));
    overlayUp = early.is_null();
    if (!overlayUp) {
      ASSERT_EQ(error(early), gnome::kExtensionNotEnabled);
    }
  }
  ASSERT_TRUE(overlayUp);
  ASSERT_TRUE(hand->move(x0, y0) && hand->button(true) && hand->move(x0 + w / 2, y0 + h / 2) &&
              hand->move(x0 + w, y0 + h) && hand->button(false));
  const Json selected = helper.reply(20s);
  ASSERT_EQ(ok(selected), true) << selected.dump();
  EXPECT_EQ(selected["region"], (Json{{"x", x0}, {"y", y0}, {"width", w}, {"height", h}}));
  // The pointer away from the region, on the other monitor.
  ASSERT_TRUE(hand->move(1280 + 500, 600));

  std::vector<std::uint8_t> frame;
  auto capture = [&] { return helper.capture(frame); };
  // The frame is the shell's own picture of the region, once the page has settled (GTK's
  // overlay scroll bars fade after the pointer left).
  long wrong = -1;
  EXPECT_TRUE(waitUntil(
      [&] {
        capture();
        wrong = differing(frame, truth());
        return wrong == 0;
      },
      20s))
      << wrong << " pixels differ";
  const std::vector<std::uint8_t> first = frame;

  const int start = page.scrolled();
  EXPECT_EQ(ok(helper.request("scroll", ",\"fraction\":0.5")), true);
  // GTK 4 moves its view by an amount of its own a click: the helper measures each click's move
  // on the frames and stops at the asked half of the region, give or take a tenth.
  const auto nearHalf = [&] { return std::abs(page.scrolled() - start - h / 2) <= h / 20; };
  EXPECT_TRUE(waitUntil(nearHalf, 10s)) << "scrolled " << page.scrolled() << " px";
  EXPECT_TRUE(waitUntil(
      [&] {
        capture();
        wrong = differing(frame, truth());
        return wrong == 0 && differing(frame, first) > 0;
      },
      20s))
      << wrong << " pixels differ";
  EXPECT_TRUE(nearHalf()) << "scrolled " << page.scrolled() << " px";
  EXPECT_EQ(ok(helper.request("activate")), true);
  EXPECT_EQ(ok(capture()), true);

  page.close();
  EXPECT_TRUE(waitUntil([&] { return error(capture()) == kMoved; }, 20s));
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  EXPECT_EQ(helper.process().wait(10s), 0);
}

}  // namespace
}  // namespace orvel::gnometest
