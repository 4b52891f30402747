// orvel-demo-host: a small host that drives the helpers through their protocols on the X11
// desktop of $DISPLAY, as the product's user interface would, with XTest standing in for the user:
//   1. a scrolling capture of the demo document window (drag, then capture and scroll until the
//      page stops moving), the frames stitched by their overlap into one tall PNG;
//   2. an instant region capture of the document window, moved across the boundary of the first
//      two monitors, so that the picture shows the join;
//   3. text recognition of the stitched page, compared with the document's own text.
// Writes scroll.png, region.png, text.txt and summary.txt to OUTDIR.
//
//   orvel-demo-host --bin BUILDDIR --out OUTDIR --reference TEXTFILE
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
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

#include "orvel/common/json_text.h"
#include "orvel/stitching/page_stitcher.h"
#include "platform/x11/monitor_layout.h"
#include "platform/x11/window_list.h"
#include "platform/x11/x11_connection.h"
#include "platform/x11/x11_reply.h"
#include "png_file.h"
#include "text_metrics.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using orvel::Json;
namespace x11 = orvel::x11;
namespace ocr = orvel::ocr::testing;

constexpr const char* kDocumentTitle = "Orvel demo document";
constexpr double kScrollFraction = 0.6;
constexpr int kMaxSteps = 80;

// A helper started with pipes on its standard input and output; killed if still running when
// this goes away.
class HelperProcess {
 public:
  explicit HelperProcess(const std::vector<std::string>& argv) {
    int in[2], out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(in[0], STDIN_FILENO);
      ::dup2(out[1], STDOUT_FILENO);
      std::vector<char*> args;
      for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    in_ = in[1];
    out_ = out[0];
  }
  ~HelperProcess() {
    closeStdin();
    if (pid_ > 0 && !wait(2s)) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }
  bool running() const { return pid_ > 0; }
  void send(const std::string& line) {
    const std::string bytes = line + "\n";
    [[maybe_unused]] auto n = ::write(in_, bytes.data(), bytes.size());
  }
  void closeStdin() {
    if (in_ >= 0) ::close(in_);
    in_ = -1;
  }
  std::optional<std::string> readLine(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    for (;;) {
      if (auto nl = buffer_.find('\n'); nl != std::string::npos) {
        std::string line = buffer_.substr(0, nl);
        buffer_.erase(0, nl + 1);
        return line;
      }
      if (!fill(deadline)) return std::nullopt;
    }
  }
  Json reply(std::chrono::milliseconds timeout = 10s) {
    auto line = readLine(timeout);
    return line ? orvel::parseJson(*line).value_or(Json()) : Json();
  }
  // Everything until the output ends.
  std::string readToEnd(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (fill(deadline)) {
    }
    return std::exchange(buffer_, std::string());
  }
  bool readBytes(std::size_t n, std::vector<std::uint8_t>& out) {
    const auto deadline = Clock::now() + 10s;
    while (buffer_.size() < n) {
      if (!fill(deadline)) return false;
    }
    out.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(n));
    buffer_.erase(0, n);
    return true;
  }
  bool wait(std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return true;
      }
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

 private:
  bool fill(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
    char chunk[1 << 16];
    const ssize_t got = ::read(out_, chunk, sizeof chunk);
    if (got <= 0) return false;
    buffer_.append(chunk, static_cast<std::size_t>(got));
    return true;
  }

  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string buffer_;
};

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
  HelperProcess p(argv);
  p.closeStdin();
  return p.readToEnd(120s);
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

bool scrollingCapture(x11::X11Connection& connection, Hand& hand, const std::string& bin,
                      const std::string& out, Summary& summary) {
  const auto started = Clock::now();
  const auto found = findDocument(connection);
  if (!found) {
    summary.add("scrolling capture: the document window did not appear");
    return false;
  }
  const x11::PixelRect* document = &found->content;
  HelperProcess helper({bin + "/scroll-capture/scroll-capture-helper"});
  helper.send(R"({"command":"select"})");
  if (!hand.waitForOverlay()) {
    summary.add("scrolling capture: no overlay");
    return false;
  }
  const int inset = 12;
  hand.drag(document->x + inset, document->y + inset, document->x + document->width - inset,
            document->y + document->height - inset);
  const Json selected = helper.reply();
  if (!selected.value("ok", false) || selected.value("canceled", false)) {
    summary.add("scrolling capture: select failed: " + selected.dump());
    return false;
  }
  std::optional<orvel::stitching::PageStitcher> stitched;
  int frameWidth = 0, frameHeight = 0, unmatched = 0;
  for (int steps = 0; steps < kMaxSteps; ++steps) {
    helper.send(R"({"command":"capture"})");
    const Json header = helper.reply();
    if (!header.value("ok", false)) {
      summary.add("scrolling capture: capture failed: " + header.dump());
      return false;
    }
    frameWidth = header.value("width", 0);
    frameHeight = header.value("height", 0);
    std::vector<std::uint8_t> bgra;
    if (!helper.readBytes(header.value("length", std::size_t{0}), bgra)) return false;
    const orvel::ImageView frame{bgra.data(), frameWidth, frameHeight,
                                 static_cast<std::size_t>(frameWidth) * 4};
    if (!stitched) {
      stitched.emplace(frame);
    } else {
      const auto overlap =
          stitched->add(frame, static_cast<int>(std::lround(kScrollFraction * frameHeight)));
      if (!overlap.matched) ++unmatched;
      // The page no longer moves: its end is in.
      if (overlap.shift == 0) break;
    }
    helper.send(R"({"command":"scroll","fraction":)" + std::to_string(kScrollFraction) + "}");
    const Json scrolled = helper.reply();
    if (!scrolled.value("ok", false)) {
      summary.add("scrolling capture: scroll failed: " + scrolled.dump());
      return false;
    }
    // The document repaints after the last wheel click of the burst.
    std::this_thread::sleep_for(60ms);
  }
  helper.send(R"({"command":"close"})");
  helper.reply(2s);
  if (auto written = orvel::cli::writePngFile(stitched->view(), out + "/scroll.png"); !written) {
    summary.add("scrolling capture: " + written.error().description);
    return false;
  }
  char line[240];
  std::snprintf(line, sizeof line,
                "scrolling capture: %d frames of %dx%d stitched into scroll.png, %dx%d; seams: %s "
                "(%.1f s)",
                stitched->frames(), frameWidth, frameHeight, stitched->width(), stitched->height(),
                unmatched == 0 ? "every frame overlapped the page" : "some frames did not overlap",
                seconds(started));
  summary.add(line);
  return true;
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
  HelperProcess helper({bin + "/region-capture/region-capture-helper"});
  helper.send(R"({"command":"prepare","id":1})");
  helper.send(R"({"command":"capture","id":1,"path":")" + out + "/region.png\"}");
  if (!hand.waitForOverlay()) {
    summary.add("region capture: no overlay");
    return false;
  }
  // The whole document window and some desktop around it: its text runs across the seam.
  const int margin = 48;
  hand.drag(document->x - margin, document->y - margin, document->x + document->width + margin,
            document->y + document->height + margin);
  const Json reply = helper.reply();
  helper.send(R"({"command":"quit"})");
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
