#include "window_list_probe.h"

#include <poll.h>
#include <unistd.h>

#include <iostream>
#include <sstream>
#include <string>

#include "orvel/common/clock.h"
#include "orvel/common/json_text.h"

namespace orvel::linuxtest {

namespace {

Json listed(const platform::ReportedWindowList& list) {
  if (!list.windows()) return Json();
  Json::array_t out;
  for (const auto& w : *list.windows()) {
    out.push_back({{"number", list.numberOf(w.id)},
                   {"pid", w.pid.value_or(0)},
                   {"caption", w.caption},
                   {"x", w.frame.x},
                   {"y", w.frame.y},
                   {"width", w.frame.width},
                   {"height", w.frame.height},
                   {"level", platform::levelOf(w)},
                   {"active", w.active},
                   {"dock", w.dock}});
  }
  return Json(std::move(out));
}

}  // namespace

int runWindowListProbe(EventLoop& loop, platform::ReportedWindowList& list,
                       std::function<Task<Expected<void, Failure>>()> start,
                       const ProbeCommand& other) {
  int status = 0;
  spawn(loop, [&]() -> Task<> {
    auto starting = start();
    auto started = co_await starting;
    if (started) {
      std::cout << "ready" << std::endl;
      co_return;
    }
    std::cout << "failed: " << started.error().description << std::endl;
    status = 1;
    loop.stop();
  });
  std::string pending;
  loop.watch(STDIN_FILENO, POLLIN, [&](short) {
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n <= 0) return loop.stop();
    pending.append(buffer, static_cast<std::size_t>(n));
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      std::istringstream words(pending.substr(0, end));
      pending.erase(0, end + 1);
      std::string command;
      words >> command;
      if (command == "list") {
        std::cout << listed(list).dump() << std::endl;
      } else if (command == "activate") {
        std::uint32_t number = 0;
        words >> number;
        if (const auto* w = list.findNumber(number)) list.activate(w->id);
        std::cout << "ok" << std::endl;
      } else if (command == "why") {
        std::cout << list.whyUnreadable().value_or("readable") << std::endl;
      } else if (!other || !other(command, words)) {
        std::cout << "unknown command" << std::endl;
      }
    }
  });
  loop.run();
  return status;
}

int runOnSessionBus(const std::function<int(EventLoop&, dbus::DbusConnection&)>& probe) {
  SteadyClock clock;
  EventLoop loop(clock);
  auto bus = dbus::DbusConnection::openSession(loop);
  if (!bus) {
    std::cout << "failed: " << bus.error().description << std::endl;
    return 1;
  }
  return probe(loop, **bus);
}

}  // namespace orvel::linuxtest
