// The built executable: framing on standard input and output, and the exit status.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "messages.h"
#include "orvel/common/json_text.h"

namespace orvel::region::testing {
namespace {

using namespace std::string_literals;

struct Outcome {
  std::string output;
  int status = -1;
};

// Runs the helper with `input` on standard input, which is closed afterwards unless the input
// already made the helper quit.
Outcome runHelper(const std::string& input) {
  int in[2], out[2];
  if (::pipe(in) != 0 || ::pipe(out) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::dup2(out[1], STDOUT_FILENO);
    ::close(in[1]);
    ::close(out[0]);
    // Without a desktop, whatever display the test runner has: the framing is what is tested.
    ::unsetenv("DISPLAY");
    ::execl(REGION_CAPTURE_HELPER, REGION_CAPTURE_HELPER, nullptr);
    ::_exit(127);
  }
  ::close(in[0]);
  ::close(out[1]);
  [[maybe_unused]] auto n = ::write(in[1], input.data(), input.size());
  ::close(in[1]);
  Outcome outcome;
  char buffer[4096];
  ssize_t got;
  while ((got = ::read(out[0], buffer, sizeof buffer)) > 0)
    outcome.output.append(buffer, static_cast<std::size_t>(got));
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  outcome.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

TEST(HelperProcess, AnswersWithoutADesktopAndEndsWithStatusZero) {
  const std::string over =
      R"({"command":"prepare","id":2,"pad":")" + std::string(4096, 'x') + "\"}";
  const auto answered = runHelper(over + "\n" + R"({"command":"prepare","id":7.9})" + "\r\n");
  EXPECT_EQ(answered.status, 0);
  const Json expected = {
      {"id", 7}, {"ok", false}, {"permission", true}, {"error", kAccessibilityRequired}};
  EXPECT_EQ(answered.output, encodeJson(expected).value() + "\n");

  const auto quit = runHelper(R"({"command":"quit"})"
                              "\n"
                              R"({"command":"prepare","id":1})"
                              "\n");
  EXPECT_EQ(quit.status, 0);
  EXPECT_EQ(quit.output, "");

  // A raw NUL makes the whole line malformed: it is dropped, not read as "quit".
  const auto nul =
      runHelper("{\"command\":\"quit\"}\0junk\n"s + R"({"command":"prepare","id":1})" + "\n");
  EXPECT_EQ(nul.status, 0);
  EXPECT_EQ(nul.output,
            encodeJson(
                {{"id", 1}, {"ok", false}, {"permission", true}, {"error", kAccessibilityRequired}})
                    .value() +
                "\n");
}

}  // namespace
}  // namespace orvel::region::testing
