// orvel-demo-host: a small host that drives the helpers through their protocols on the X11
// desktop of $DISPLAY, as the product's user interface would, with XTest standing in for the user:
//   1. a scrolling capture of the demo document window through `orvel scroll` (drag, then orvel
//      captures and scrolls until the page stops moving and stitches the frames into one PNG);
//   2. an instant region capture of the document window, moved across the boundary of the first
//      two monitors, so that the picture shows the join;
//   3. text recognition of the stitched page, compared with the document's own text.
// Writes scroll.png, region.png, text.txt and summary.txt to OUTDIR.
//
//   orvel-demo-host --bin BUILDDIR --out OUTDIR --reference TEXTFILE
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "helper_process.h"
#include "orvel/common/json_text.h"
#include "orvel_scroll_report.h"
#include "platform/x11/monitor_layout.h"
#include "platform/x11/window_list.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_reply.h"
#include "text_metrics.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using orvel::Json;
namespace x11 = orvel::x11;
namespace ocr = orvel::ocr::testing;

constexpr const char* kDocumentTitle = "Orvel demo document";

using orvel::cli::HelperProcess;

// A child's whole output (it ends when the child closes it), or nothing when it cannot start.
std::string outputOf(const std::vector<std::string>& argv, std::chrono::milliseconds timeout) {
  auto child = HelperProcess::start(argv);
  if (!child) return child.error().description;
  (*child)->closeInput();
  std::string output;
  (void)(*child)->readAll(output, timeout);
  return output;
}

// One JSON reply line of a helper; null on timeout or a malformed line.
Json replyOf(HelperProcess& helper, std::chrono::milliseconds timeout = 10s) {
  std::string line;
  if (helper.readLine(line, timeout) != orvel::cli::ReadEnd::kDone) return Json();
  return orvel::parseJson(line).value_or(Json());
}

// The user's hand: pointer and buttons through XTest, in root pixels.
class Hand {
 public:
  explicit Hand(x11::X11Connection& connection) : c_(connection) {}
  void move(int x, int y) {
    xcb_test_fake_input(c_.get(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, c_.root(),
                        static_cast<std::int16_t>(x), static_cast<std::int16_t>(y), 0);
    c_.sync();
  }
  void button(bool down) {
    xcb_test_fake_input(c_.get(), down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE, 1, XCB_CURRENT_TIME,
                        XCB_NONE, 0, 0, 0);
    c_.sync();
  }
  void drag(int x0, int y0, int x1, int y1) {
    move(x0, y0);
    button(true);
    for (int i = 1; i <= 8; ++i) {
      move(x0 + (x1 - x0) * i / 8, y0 + (y1 - y0) * i / 8);
      std::this_thread::sleep_for(5ms);
    }
    button(false);
  }
  // Whether a helper's overlay holds the pointer: our own grab is refused.
  bool pointerTaken() {
    xcb_connection_t* c = c_.get();
    const x11::Reply<xcb_grab_pointer_reply> r(
        c_, xcb_grab_pointer(c, 0, c_.root(), 0, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC, XCB_NONE,
                             XCB_NONE, XCB_CURRENT_TIME));
    const bool refused = !r || r->status != XCB_GRAB_STATUS_SUCCESS;
    if (!refused) xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
    c_.sync();
    return refused;
  }
  bool waitForOverlay() {
    const auto deadline = Clock::now() + 10s;
    while (Clock::now() < deadline) {
      if (pointerTaken()) return true;
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

 private:
  x11::X11Connection& c_;
};

// Words of `text` joined by single blanks: recognisers and documents differ in line breaks.
std::string normalised(const std::string& text) {
  std::istringstream in(text);
  std::string word, out;
  while (in >> word) {
    if (!out.empty()) out += ' ';
    out += word;
  }
  return out;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string run(const std::vector<std::string>& argv) {
  return outputOf(argv, 120s);
}

struct Summary {
  std::vector<std::string> lines;
  void add(const std::string& line) {
    std::printf("demo: %s\n", line.c_str());
    std::fflush(stdout);
    lines.push_back(line);
  }
};

double seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

struct DocumentWindow {
  xcb_window_t id = 0;
  x11::PixelRect content;  // root pixels
};

std::optional<DocumentWindow> findDocument(x11::X11Connection& connection) {
  const auto deadline = Clock::now() + 10s;
  while (Clock::now() < deadline) {
    for (const auto& w : x11::readWindowList(connection)) {
      if (w.name != kDocumentTitle) continue;
      xcb_connection_t* c = connection.get();
      const x11::Reply<xcb_translate_coordinates_reply> at(
          connection, xcb_translate_coordinates(c, w.id, connection.root(), 0, 0));
      const x11::Reply<xcb_get_geometry_reply> geometry(connection, xcb_get_geometry(c, w.id));
      if (at && geometry)
        return DocumentWindow{w.id, {at->dst_x, at->dst_y, geometry->width, geometry->height}};
    }
    std::this_thread::sleep_for(50ms);
  }
  return std::nullopt;
}

// Moves the document window across the vertical monitor boundary at root x `boundary`, centred on
// it, so that a region around it shows the two monitors' pictures joined inside one window.
std::optional<x11::PixelRect> placeAcross(x11::X11Connection& connection, int boundary) {
  const auto document = findDocument(connection);
  if (!document) return std::nullopt;
  const std::uint32_t position[] = {
      static_cast<std::uint32_t>(boundary - document->content.width / 2),
      static_cast<std::uint32_t>(document->content.y)};
  xcb_configure_window(connection.get(), document->id, XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y,
                       position);
  xcb_flush(connection.get());
  // The window manager moves the frame when it handles the request.
  const auto deadline = Clock::now() + 5s;
  while (Clock::now() < deadline) {
    const auto moved = findDocument(connection);
    if (moved && moved->content.x < boundary &&
        moved->content.x + moved->content.width > boundary) {
      return moved->content;
    }
    std::this_thread::sleep_for(20ms);
  }
  return std::nullopt;
}

// The scrolling capture through `orvel scroll`, as a user runs it: orvel starts the helper, the
// hand drags over the document, and orvel scrolls, stitches and writes scroll.png.
bool scrollingCapture(x11::X11Connection& connection, Hand& hand, const std::string& bin,
                      const std::string& out, Summary& summary) {
  const auto started = Clock::now();
  const auto found = findDocument(connection);
  if (!found) {
    summary.add("scrolling capture: the document window did not appear");
    return false;
  }
  const x11::PixelRect* document = &found->content;
  // orvel's progress and reasons go to its standard error: read them with its output.
  auto orvel = HelperProcess::start({"/bin/sh", "-c", "exec \"$0\" scroll -o \"$1\" 2>&1",
                                     bin + "/orvel/orvel", out + "/scroll.png"});
  if (!orvel) {
    summary.add("scrolling capture: " + orvel.error().description);
    return false;
  }
  (*orvel)->closeInput();
  if (!hand.waitForOverlay()) {
    summary.add("scrolling capture: no overlay");
    return false;
  }
  const int inset = 12;
  hand.drag(document->x + inset, document->y + inset, document->x + document->width - inset,
            document->y + document->height - inset);
  std::string said;
  (void)(*orvel)->readAll(said, 300s);
  const auto report = orvel::demo::readOrvelScrollReport(said);
  if (report.page.empty() || said.find(out + "/scroll.png") == std::string::npos) {
    summary.add("scrolling capture: orvel scroll failed: " + said);
    return false;
  }
  char line[400];
  std::snprintf(line, sizeof line,
                "scrolling capture through orvel scroll: scroll.png, %s (%s) (%.1f s)",
                report.page.c_str(), report.why.c_str(), seconds(started));
  summary.add(line);
  return !report.gaps;
}

bool regionCapture(x11::X11Connection& connection, Hand& hand, const std::string& bin,
                   const std::string& out, Summary& summary) {
  const auto started = Clock::now();
  const x11::MonitorLayout layout = x11::MonitorLayout::read(connection);
  if (layout.monitors().size() < 2) {
    summary.add("region capture: fewer than two monitors");
    return false;
  }
  // Across the boundary between the first two monitors, left to right.
  auto sorted = layout.monitors();
  std::sort(sorted.begin(), sorted.end(),
            [](const auto& a, const auto& b) { return a.pixels.x < b.pixels.x; });
  const int boundary = sorted[1].pixels.x;
  const auto document = placeAcross(connection, boundary);
  if (!document) {
    summary.add("region capture: the document window could not be moved across the monitors");
    return false;
  }
  auto regionHelper = HelperProcess::start({bin + "/region-capture/region-capture-helper"});
  if (!regionHelper) {
    summary.add("region capture: " + regionHelper.error().description);
    return false;
  }
  HelperProcess& helper = **regionHelper;
  helper.write(R"({"command":"prepare","id":1})"
               "\n");
  helper.write(R"({"command":"capture","id":1,"path":")" + out + "/region.png\"}\n");
  if (!hand.waitForOverlay()) {
    summary.add("region capture: no overlay");
    return false;
  }
  // The whole document window and some desktop around it: its text runs across the seam.
  const int margin = 48;
  hand.drag(document->x - margin, document->y - margin, document->x + document->width + margin,
            document->y + document->height + margin);
  const Json reply = replyOf(helper);
  helper.write(R"({"command":"quit"})"
               "\n");
  if (!reply.value("ok", false) || !reply.contains("region")) {
    summary.add("region capture: " + reply.dump());
    return false;
  }
  char line[200];
  // The drag starts at the picture's left edge; the demo desktop has a scale of 1.
  std::snprintf(line, sizeof line,
                "region capture across both monitors: region.png, region %s, the monitors meet "
                "at its column %d (%.1f s)",
                reply["region"].dump().c_str(), boundary - (document->x - margin),
                seconds(started));
  summary.add(line);
  return true;
}

bool recognition(const std::string& bin, const std::string& out, const std::string& referencePath,
                 Summary& summary) {
  const auto started = Clock::now();
  const std::string output = run(
      {bin + "/text-recognition/text-recognition-helper", "recognize", out + "/scroll.png", "en"});
  const auto parsed = orvel::parseJson(output);
  if (!parsed || !parsed->is_object() || !parsed->contains("text")) {
    summary.add("text recognition failed: " + output);
    return false;
  }
  const std::string text = (*parsed)["text"].get<std::string>();
  std::ofstream(out + "/text.txt") << text << "\n";
  const std::string reference = readFile(referencePath);
  // Over the words alone, as the page's line breaks are measured by the line fidelity.
  const std::string words = normalised(reference);
  const double cer =
      words.empty() ? 0.0
                    : double(ocr::editDistance(words, normalised(text))) / double(words.size());
  char line[300];
  std::snprintf(line, sizeof line,
                "text recognition of scroll.png: text.txt, %zu lines for the document's %zu, line "
                "fidelity %.1f%%, character error rate %.2f%% (%.1f s)",
                ocr::linesOf(text).size(), ocr::linesOf(reference).size(),
                ocr::lineFidelity(reference, text) * 100, cer * 100, seconds(started));
  summary.add(line);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> args;
  for (int i = 1; i + 1 < argc; i += 2)
    args[argv[i]] = argv[i + 1];
  const std::string bin = args["--bin"], out = args["--out"], reference = args["--reference"];
  if (bin.empty() || out.empty() || reference.empty()) {
    std::fprintf(stderr,
                 "usage: orvel-demo-host --bin BUILDDIR --out OUTDIR --reference TEXTFILE\n");
    return 2;
  }
  auto connection = x11::X11Connection::open();
  if (!connection) {
    std::fprintf(stderr, "orvel-demo-host: cannot open the display\n");
    return 1;
  }
  Hand hand(*connection);
  Summary summary;
  const auto started = Clock::now();
  bool ok = scrollingCapture(*connection, hand, bin, out, summary);
  ok = regionCapture(*connection, hand, bin, out, summary) && ok;
  if (ok) ok = recognition(bin, out, reference, summary);
  char line[120];
  std::snprintf(line, sizeof line, "%s in %.1f s", ok ? "all steps done" : "some steps FAILED",
                seconds(started));
  summary.add(line);
  std::ofstream file(out + "/summary.txt");
  for (const auto& l : summary.lines)
    file << l << "\n";
  return ok ? 0 : 1;
}
