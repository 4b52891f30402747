#include "xvfb_rig.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xcb/composite.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/x11/window_list.h"
#include "platform/x11/x11_key_state.h"
#include "platform/x11/x11_reply.h"

namespace orvel::x11test {

using namespace std::chrono_literals;

std::unique_ptr<XvfbRig> XvfbRig::start(const RigOptions& options, std::string& whyNot) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    whyNot = "no pipe for Xvfb";
    return nullptr;
  }
  const std::string screen = std::to_string(options.width) + "x" + std::to_string(options.height) +
                             "x" + std::to_string(options.depth);
  ChildProcess::Options spawn;
  spawn.pipeStdin = false;
  spawn.pipeStdout = false;
  spawn.extraFd = fds[1];
  auto server = ChildProcess::start({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0",
                                     screen, "-noreset", "-nolisten", "tcp"},
                                    spawn);
  ::close(fds[1]);
  if (!server) {
    ::close(fds[0]);
    whyNot = "Xvfb cannot be started (is it installed?)";
    return nullptr;
  }
  std::string number;
  pollfd p{fds[0], POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + 10s;
  while (std::chrono::steady_clock::now() < deadline && number.find('\n') == std::string::npos) {
    if (::poll(&p, 1, 100) <= 0) continue;
    char buffer[32];
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n <= 0) break;
    number.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fds[0]);
  if (number.find('\n') == std::string::npos) {
    whyNot = "Xvfb did not report a display";
    return nullptr;
  }
  auto rig = std::unique_ptr<XvfbRig>(new XvfbRig());
  rig->options_ = options;
  rig->display_ = ":" + number.substr(0, number.find('\n'));
  rig->server_ = std::move(server);
  ::setenv("DISPLAY", rig->display_.c_str(), 1);

  ChildProcess::Options quiet;
  quiet.pipeStdin = false;
  quiet.environment["DISPLAY"] = rig->display_;
  for (std::size_t i = 0; i < options.monitors.size(); ++i) {
    const auto& m = options.monitors[i];
    const std::string geometry = std::to_string(m.width) + "/300x" + std::to_string(m.height) +
                                 "/200+" + std::to_string(m.x) + "+" + std::to_string(m.y);
    const std::string name =
        (static_cast<int>(i) == options.primary ? "*" : "") + std::string("M") + std::to_string(i);
    auto xrandr = ChildProcess::start(
        {"xrandr", "--setmonitor", name, geometry, i == 0 ? "screen" : "none"}, quiet);
    if (!xrandr || xrandr->wait(10s) != 0) {
      whyNot = "xrandr --setmonitor failed";
      return nullptr;
    }
  }
  rig->connection_ = x11::X11Connection::open(rig->display_.c_str());
  if (!rig->connection_) {
    whyNot = "cannot connect to Xvfb";
    return nullptr;
  }
  if (options.windowManager) {
    // openbox runs its startup command once it manages windows; before that, a new window can
    // be left unmapped.
    const std::string marker =
        (std::filesystem::temp_directory_path() /
         ("orvel-openbox-" + std::to_string(::getpid()) + "-" + rig->display_.substr(1) + ".ready"))
            .string();
    std::filesystem::remove(marker);
    rig->windowManager_ =
        ChildProcess::start({"openbox", "--sm-disable", "--startup", "touch " + marker}, quiet);
    const bool ready = rig->windowManager_ &&
                       waitUntil([&] { return std::filesystem::exists(marker); }, 10s) &&
                       x11::hasEwmhWindowManager(*rig->connection_);
    std::filesystem::remove(marker);
    if (!ready) {
      whyNot = "openbox did not start";
      return nullptr;
    }
  }
  return rig;
}

XvfbRig::WindowSpec XvfbRig::hostWindow(int x, int y, int width, int height) {
  WindowSpec window;
  window.title = "Host";
  window.x = x;
  window.y = y;
  window.width = width;
  window.height = height;
  window.seed = 9;
  window.pid = static_cast<long>(::getpid());
  return window;
}

XvfbRig::WindowSpec XvfbRig::longPage(int y, int height, int rows) {
  WindowSpec window;
  window.title = "Long page";
  window.x = 100;
  window.y = y;
  window.width = 500;
  window.height = height;
  window.seed = 4;
  window.page = rows;
  window.click = 40;
  return window;
}

XvfbRig::~XvfbRig() {
  connection_.reset();
  windowManager_.reset();
  server_.reset();
}

std::unique_ptr<TestWindowProcess> XvfbRig::openWindow(const WindowSpec& wanted) {
  std::vector<std::string> argv = {ORVEL_TEST_WINDOW,
                                   "--title",
                                   wanted.title,
                                   "--x",
                                   std::to_string(wanted.x),
                                   "--y",
                                   std::to_string(wanted.y),
                                   "--width",
                                   std::to_string(wanted.width),
                                   "--height",
                                   std::to_string(wanted.height),
                                   "--seed",
                                   std::to_string(wanted.seed),
                                   "--extra",
                                   std::to_string(wanted.extra)};
  if (wanted.pid) {
    argv.push_back("--pid");
    argv.push_back(std::to_string(*wanted.pid));
  }
  if (wanted.overrideRedirect) argv.push_back("--override-redirect");
  if (wanted.noBackground) argv.push_back("--no-background");
  if (!wanted.type.empty()) {
    argv.push_back("--type");
    argv.push_back(wanted.type);
  }
  if (wanted.page > 0) {
    for (const auto& [name, value] : {std::pair{"--page", wanted.page},
                                      {"--click", wanted.click},
                                      {"--header", wanted.header},
                                      {"--footer", wanted.footer}}) {
      argv.push_back(name);
      argv.push_back(std::to_string(value));
    }
  }
  ChildProcess::Options o;
  o.environment["DISPLAY"] = display_;
  auto process = ChildProcess::start(argv, o);
  if (!process) return nullptr;
  auto line = process->readLine(10s);
  if (!line || line->rfind("ready ", 0) != 0) return nullptr;
  return std::make_unique<TestWindowProcess>(std::move(process),
                                             static_cast<unsigned>(std::stoul(line->substr(6))));
}

void XvfbRig::movePointer(int x, int y) {
  xcb_test_fake_input(connection_->get(), XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME,
                      connection_->root(), static_cast<std::int16_t>(x),
                      static_cast<std::int16_t>(y), 0);
  sync();
}

void XvfbRig::button(int button, bool down) {
  xcb_test_fake_input(connection_->get(), down ? XCB_BUTTON_PRESS : XCB_BUTTON_RELEASE,
                      static_cast<std::uint8_t>(button), XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  sync();
}

void XvfbRig::drag(int x0, int y0, int x1, int y1) {
  movePointer(x0, y0);
  button(1, true);
  for (int i = 1; i <= 4; ++i) {
    movePointer(x0 + (x1 - x0) * i / 4, y0 + (y1 - y0) * i / 4);
  }
  button(1, false);
}

void XvfbRig::key(unsigned keysym, bool down) {
  auto codes = x11::keycodesFor(*connection_, keysym);
  if (codes.empty()) return;
  xcb_test_fake_input(connection_->get(), down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, codes[0],
                      XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
  sync();
}

void XvfbRig::sync() {
  connection_->sync();
}

std::optional<std::pair<int, int>> XvfbRig::contentOrigin(unsigned window) {
  xcb_connection_t* c = connection_->get();
  const x11::Reply<xcb_translate_coordinates_reply> r(
      *connection_, xcb_translate_coordinates(c, window, connection_->root(), 0, 0));
  if (!r) return std::nullopt;
  return std::pair<int, int>{r->dst_x, r->dst_y};
}

bool XvfbRig::pointerGrabbedElsewhere() {
  xcb_connection_t* c = connection_->get();
  const x11::Reply<xcb_grab_pointer_reply> r(
      *connection_, xcb_grab_pointer(c, 0, connection_->root(), 0, XCB_GRAB_MODE_ASYNC,
                                     XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE, XCB_CURRENT_TIME));
  const bool refused = !r || r->status != XCB_GRAB_STATUS_SUCCESS;
  if (!refused) xcb_ungrab_pointer(c, XCB_CURRENT_TIME);
  sync();
  return refused;
}

bool XvfbRig::redirected(unsigned window) {
  xcb_connection_t* c = connection_->get();
  const std::uint32_t pixmap = connection_->generateId();
  const bool named =
      !connection_->check(xcb_composite_name_window_pixmap_checked(c, window, pixmap));
  if (named) xcb_free_pixmap(c, pixmap);
  sync();
  return named;
}

void XvfbRig::killServer() {
  server_.reset();
}

std::string TestWindowProcess::command(const std::string& line) {
  process_->write(line + "\n");
  // Generous: an answer that came after the wait would be taken for the next command's.
  return process_->readLine(30s).value_or("");
}

std::pair<int, int> TestWindowProcess::clicks() {
  const std::string line = command("clicks");
  int up = -1, down = -1;
  std::sscanf(line.c_str(), "clicks %d %d", &up, &down);
  return {up, down};
}

void TestWindowProcess::quit() {
  process_->write("quit\n");
  process_->wait(5s);
}

}  // namespace orvel::x11test
