// The built helper as a process: line framing, exit statuses and a whole scrolling capture.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>

#include "child_process.h"
#include "orvel/common/json_text.h"
#include "platform/sim/sim_desktop.h"

namespace orvel::scroll {
namespace {

using namespace std::string_literals;

using testsupport::ChildProcess;

constexpr std::chrono::seconds kWait{10};

std::unique_ptr<ChildProcess> startHelper(std::map<std::string, std::string> environment = {}) {
  ChildProcess::Options options;
  options.environment = std::move(environment);
  return ChildProcess::start({SCROLL_HELPER_SIM}, options);
}

const char* const kInvalid = R"({"error":"Invalid command.","ok":false})";
const char* const kUnknown = R"({"error":"Unknown command.","ok":false})";

// A JSON object line of exactly `bytes` UTF-8 bytes, padded with `pad` (1 or 2 bytes each).
std::string objectLine(size_t bytes, const std::string& pad) {
  std::string head = R"({"command":"bogus","pad":")";
  std::string line = head;
  while (line.size() + 2 + pad.size() <= bytes)
    line += pad;
  while (line.size() + 2 < bytes)
    line += "a";
  return line + "\"}";
}

TEST(ScrollHelperProcess, LineLimitIsCountedInUtf8BytesBeforeParsing) {
  auto helper = startHelper();
  ASSERT_TRUE(helper);
  for (const std::string pad : {"a", "\xC3\xA9"}) {
    const std::string ok = objectLine(4095, pad);
    const std::string tooLong = objectLine(4096, pad);
    ASSERT_EQ(ok.size(), 4095u);
    ASSERT_EQ(tooLong.size(), 4096u);
    // One answer each: the parsed line from the main loop, the refused one from the reader.
    helper->write(ok + "\n");
    EXPECT_EQ(helper->readLine(kWait), kUnknown) << "4095 bytes are parsed";
    helper->write(tooLong + "\r\n");
    EXPECT_EQ(helper->readLine(kWait), kInvalid) << "4096 bytes are refused";
  }
  // Refusals are written by the reader and commands by the main loop: compare as sets.
  helper->write("[]\n\"select\"\n\n{}\n{\"command\":\"Select\"}\n{\"command\":1}\n");
  std::multiset<std::string> replies;
  for (int i = 0; i < 6; ++i)
    replies.insert(helper->readLine(kWait).value_or(""));
  EXPECT_EQ(replies, (std::multiset<std::string>{kInvalid, kInvalid, kInvalid, kUnknown, kUnknown,
                                                 kUnknown}));
  helper->write("{\"command\":\"close\"}\n{\"command\":\"bogus\"}\n");
  EXPECT_EQ(helper->readToEnd(kWait), "{\"ok\":true}\n") << "exactly one reply, nothing after it";
  EXPECT_EQ(helper->wait(kWait), 0);
}

TEST(ScrollHelperProcess, ALineWithARawNulIsInvalidWhatEverComesBeforeIt) {
  auto helper = startHelper();
  ASSERT_TRUE(helper);
  helper->write("{\"command\":\"close\"}\0garbage\n"s);
  EXPECT_EQ(helper->readLine(kWait), kInvalid);
  helper->write("{\"command\":\"close\"}\0\n"s);
  EXPECT_EQ(helper->readLine(kWait), kInvalid);
  helper->write("{\"command\":\"close\"}\n");
  EXPECT_EQ(helper->readToEnd(kWait), "{\"ok\":true}\n");
  EXPECT_EQ(helper->wait(kWait), 0);
}

TEST(ScrollHelperProcess, EndOfInputEndsQuietly) {
  auto helper = startHelper();
  ASSERT_TRUE(helper);
  helper->closeStdin();
  EXPECT_EQ(helper->readToEnd(kWait), "");
  EXPECT_EQ(helper->wait(kWait), 0);
}

TEST(ScrollHelperProcess, AHugeLineCostsOneReplyAndLittleMemory) {
  auto helper = startHelper();
  ASSERT_TRUE(helper);
  const std::string block(1 << 20, '{');
  for (int i = 0; i < 64; ++i)
    ASSERT_TRUE(helper->write(block));
  helper->write("\n");
  EXPECT_EQ(helper->readLine(kWait), kInvalid);
  helper->closeStdin();
  EXPECT_EQ(helper->readToEnd(kWait), "");
  EXPECT_EQ(helper->wait(kWait), 0);
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  EXPECT_LT(helper->maxRssKiB(), 20 * 1024) << "peak memory in KiB";
#endif
}

// A scene: an application window with a title, frontmost, on one display at scale 2.
std::string writeScene(const Json& scene) {
  char path[] = "/tmp/orvel-scene-XXXXXX";
  int fd = mkstemp(path);
  close(fd);
  std::ofstream(path) << scene.dump();
  return path;
}

TEST(ScrollHelperProcess, AWholeScrollingCapture) {
  const Json window = {
      {"kCGWindowNumber", 10},
      {"kCGWindowOwnerPID", 100},
      {"kCGWindowBounds", {{"X", 100}, {"Y", 100}, {"Width", 800}, {"Height", 600}}},
      {"kCGWindowLayer", 0},
      {"kCGWindowAlpha", 1.0},
      {"kCGWindowName", "Page"}};
  const std::string scene =
      writeScene({{"displays", {{{"id", 1}, {"bounds", {0, 0, 1440, 900}}, {"scale", 2.0}}}},
                  {"applications", {{{"pid", 100}, {"bundleID", "org.example.reader"}}}},
                  {"windows", {window}},
                  {"frontmost", 100},
                  {"drags", {{{"from", {200, 200}}, {"to", {400, 350}}, {"afterMs", 300}}}}});
  auto helper = startHelper({{"ORVEL_SIM_SCENE", scene}});
  ASSERT_TRUE(helper);
  auto reply = [&] { return parseJson(helper->readLine(kWait).value_or("")).value_or(Json()); };

  helper->write("{\"command\":\"select\"}\n");
  // Answered while the overlay waits for the user.
  helper->write("{\"command\":\"activate\"}\n{\"command\":\"scroll\",\"fraction\":0.5}\n");
  EXPECT_EQ(reply()["error"], "Target application closed; capture stopped.");
  EXPECT_EQ(reply()["error"], "Target window moved, resized or closed; capture stopped.");
  Json selected = reply();
  ASSERT_EQ(selected["ok"], true) << selected.dump();
  EXPECT_EQ(selected["width"], 400);
  EXPECT_EQ(selected["height"], 300);
  EXPECT_EQ(selected["scale"], 2.0);

  auto captureFrame = [&] {
    helper->write("{\"command\":\"capture\"}\n");
    Json head = reply();
    EXPECT_EQ(head, (Json{{"ok", true}, {"width", 400}, {"height", 300}, {"length", 480000}}));
    std::vector<std::uint8_t> pixels;
    ASSERT_TRUE(helper->readBytes(480000, pixels, kWait));
    for (int y : {0, 299}) {
      for (int x : {0, 399}) {
        std::uint32_t got;
        std::memcpy(&got, pixels.data() + (size_t(y) * 400 + x) * 4, 4);
        EXPECT_EQ(got, sim::simPixel(1, 400 + x, 400 + y));
      }
    }
  };
  captureFrame();
  helper->write("{\"command\":\"scroll\",\"fraction\":0.5}\n");
  EXPECT_EQ(reply(), (Json{{"ok", true}}));
  captureFrame();
  helper->write("{\"command\":\"fallback\"}\n");
  EXPECT_EQ(reply(), (Json{{"ok", true}, {"switched", true}}));
  helper->write("{\"command\":\"scroll\",\"fraction\":-0.25}\n");
  EXPECT_EQ(reply(), (Json{{"ok", true}}));
  captureFrame();
  helper->write("{\"command\":\"close\"}\n");
  EXPECT_EQ(helper->readToEnd(kWait), "{\"ok\":true}\n");
  EXPECT_EQ(helper->wait(kWait), 0);
  std::remove(scene.c_str());
}

}  // namespace
}  // namespace orvel::scroll
