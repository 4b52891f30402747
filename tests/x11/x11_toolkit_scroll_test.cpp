// scroll-capture-helper's "scroll" on real X11 views whose wheel clicks move distances of their
// own: a GTK3 text view (zenity's text window) and xterm's scrollback, scrolled down and up. The
// content's move is measured from outside, by the overlap of the helper's frames before and
// after.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "orvel/stitching/frame_overlap.h"
#include "platform/x11/window_list.h"
#include "scroll_helper_process.h"
#include "xvfb_rig.h"

namespace orvel::x11test {
namespace {

using namespace std::chrono_literals;

std::optional<x11::PixelRect> windowNamed(XvfbRig& rig, const std::string& title) {
  std::optional<x11::PixelRect> found;
  waitUntil(
      [&] {
        for (const auto& w : x11::readWindowList(rig.connection())) {
          if (w.name == title && w.frame.width > 200) found = w.frame;
        }
        return found.has_value();
      },
      20s);
  return found;
}

struct View {
  std::vector<std::string> argv;
  std::map<std::string, std::string> environment;
  std::string title;
};

// Scrolls the view by `fraction` of a region inside it, several times; each move must be the
// asked distance within 10 % and never more than the region less a click.
void expectMeasuredMoves(const View& view, double fraction) {
  RigOptions options;
  options.windowManager = true;
  START_RIG(rig, options);
  ChildProcess::Options o;
  o.environment = view.environment;
  o.environment["DISPLAY"] = rig->display();
  o.pipeStdin = o.pipeStdout = false;
  auto app = ChildProcess::start(view.argv, o);
  if (!app) GTEST_SKIP() << view.argv[0] << " is not installed";
  const auto frame = windowNamed(*rig, view.title);
  ASSERT_TRUE(frame) << view.title << " did not appear";
  ScrollHelperProcess helper({{"DISPLAY", rig->display()}});
  helper.send("select");
  ASSERT_TRUE(waitUntil([&] { return rig->pointerGrabbedElsewhere(); }, 10s));
  // Inside the text, clear of the title bar, the buttons and the scroll bar.
  const int x0 = frame->x + 60, y0 = frame->y + 90;
  const int x1 = frame->x + frame->width - 80, y1 = frame->y + frame->height - 110;
  rig->drag(x0, y0, x1, y1);
  const Json selected = helper.reply();
  ASSERT_EQ(ok(selected), true) << selected.dump();
  const int height = selected["height"].get<int>();
  auto rows = [&] {
    const Json reply = helper.request("capture");
    EXPECT_EQ(ok(reply), true) << reply.dump();
    if (!ok(reply)) return std::vector<std::uint64_t>();
    const auto bytes = helper.payload(reply["length"].get<std::size_t>());
    const int width = reply["width"].get<int>();
    return stitching::rowHashes(
        {bytes.data(), width, reply["height"].get<int>(), static_cast<std::size_t>(width) * 4});
  };
  std::vector<std::uint64_t> before = rows();
  const double asked = std::fabs(fraction) * height;
  for (int step = 0; step < 3; ++step) {
    ASSERT_EQ(ok(helper.request("scroll", ",\"fraction\":" + std::to_string(fraction))), true);
    std::vector<std::uint64_t> after = rows();
    const auto o = fraction > 0 ? stitching::measureOverlap(before, after, int(asked))
                                : stitching::measureOverlap(after, before, int(asked));
    EXPECT_TRUE(o.matched) << selected.dump() << " header " << o.header << " footer " << o.footer;
    EXPECT_NEAR(o.shift, asked, asked * 0.1) << view.title << " step " << step;
    EXPECT_LT(o.shift, height);
    std::printf("%s: moved %d px for %.0f asked\n", view.title.c_str(), o.shift, asked);
    before = std::move(after);
  }
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
}

TEST(ToolkitScroll, Gtk3TextViewMovesTheAskedFraction) {
  const std::string text = (std::filesystem::temp_directory_path() / "orvel-gtk-page.txt").string();
  {
    std::ofstream out(text);
    for (int i = 1; i <= 1500; ++i)
      out << "Line " << i << " of the page, words " << i * 7919 % 10007 << "\n";
  }
  // Classic scroll bars: overlay ones fade in over the text while it scrolls.
  expectMeasuredMoves({{"/usr/bin/zenity", "--text-info", "--title=Orvel GTK page",
                        "--filename=" + text, "--width=700", "--height=800"},
                       {{"GTK_OVERLAY_SCROLLING", "0"}, {"NO_AT_BRIDGE", "1"}},
                       "Orvel GTK page"},
                      0.65);
  std::filesystem::remove(text);
}

TEST(ToolkitScroll, XtermScrollbackMovesTheAskedFractionUpwards) {
  // A terminal at the end of 3000 lines, each number written across the line so that every line
  // differs inside the region: the wheel scrolls back up through them.
  expectMeasuredMoves(
      {{"/usr/bin/xterm", "-T", "Orvel terminal", "-geometry", "90x50+40+40", "-sl", "5000", "-e",
        "sh", "-c",
        "seq 1 3000 | sed 's/.*/line & of the scrollback & & & & & & & &/'; exec sleep 600"},
       {},
       "Orvel terminal"},
      -0.65);
}

}  // namespace
}  // namespace orvel::x11test
