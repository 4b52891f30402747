// scroll-capture-helper as a child process speaking its JSON lines, for the process tests of every
// desktop backend.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "child_process.h"
#include "orvel/common/json_text.h"

namespace orvel::x11test {

using testsupport::ChildProcess;

class ScrollHelperProcess {
 public:
  // `environment` is added to the test's own.
  explicit ScrollHelperProcess(const std::map<std::string, std::string>& environment) {
    ChildProcess::Options o;
    o.environment = environment;
    process_ = ChildProcess::start({ORVEL_SCROLL_HELPER}, o);
  }
  // A helper the test started its own way (another user, an installed copy).
  explicit ScrollHelperProcess(std::unique_ptr<ChildProcess> process)
      : process_(std::move(process)) {}
  bool running() const { return process_ != nullptr; }
  pid_t pid() const { return process_->pid(); }
  void send(const std::string& command, const std::string& extra = "") {
    process_->write("{\"command\":\"" + command + "\"" + extra + "}\n");
  }
  Json reply(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    auto line = process_->readLine(timeout);
    if (!line) return Json();
    return parseJson(*line).value_or(Json());
  }
  Json request(const std::string& command, const std::string& extra = "") {
    send(command, extra);
    return reply();
  }
  std::vector<std::uint8_t> payload(std::size_t n) {
    std::vector<std::uint8_t> bytes;
    process_->readBytes(n, bytes, std::chrono::seconds(10));
    return bytes;
  }
  // "capture": the reply, and its frame's bytes in `frame` (none when it failed).
  Json capture(std::vector<std::uint8_t>& frame) {
    Json answer = request("capture");
    frame = answer.is_object() && answer.value("ok", false)
                ? payload(answer["length"].get<std::size_t>())
                : std::vector<std::uint8_t>();
    return answer;
  }
  ChildProcess& process() { return *process_; }

 private:
  std::unique_ptr<ChildProcess> process_;
};

inline bool ok(const Json& reply) {
  return reply.is_object() && reply.value("ok", false);
}

inline std::string error(const Json& reply) {
  return reply.is_object() ? reply.value("error", std::string("(no error)")) : "(no reply)";
}

// The answers after the desktop went away during a selection: the selection ends as canceled,
// later commands fail with the messages of a desktop that cannot be reached, and "close" still
// ends the helper.
inline void expectLostDesktopAnswers(ScrollHelperProcess& helper) {
  using namespace std::chrono_literals;
  EXPECT_EQ(helper.reply(), (Json{{"ok", true}, {"canceled", true}}));
  EXPECT_EQ(error(helper.request("capture")), "Capture/Accessibility permission is unavailable.");
  EXPECT_EQ(error(helper.request("region")),
            "Cannot connect to the display. Start Orvel inside your desktop session.");
  EXPECT_EQ(helper.request("close"), (Json{{"ok", true}}));
  EXPECT_EQ(helper.process().wait(5s), 0);
}

}  // namespace orvel::x11test
