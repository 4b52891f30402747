#include "scroll_helper_channel.h"

#include <cstring>

#include "orvel/common/json_text.h"

namespace orvel::cli {

namespace {

// Frames and scroll steps answer within the helper's own deadlines; this only catches a hang.
constexpr std::chrono::seconds kReplyTimeout{30};

Failure readFailure(ReadEnd end) {
  switch (end) {
    case ReadEnd::kInterrupted:
      return {"Interrupted."};
    case ReadEnd::kTimedOut:
      return {"scroll-capture-helper did not answer."};
    default:
      return {"scroll-capture-helper ended unexpectedly."};
  }
}

Expected<Json, Failure> request(HelperProcess& helper, const std::string& line,
                                std::chrono::milliseconds timeout, int interruptFd) {
  if (!helper.write(line + "\n")) return failed("scroll-capture-helper ended unexpectedly.");
  std::string reply;
  if (const ReadEnd end = helper.readLine(reply, timeout, interruptFd); end != ReadEnd::kDone)
    return unexpected(readFailure(end));
  auto json = parseJson(reply);
  if (!json || !json->is_object()) return failed("scroll-capture-helper answered: " + reply);
  if (!json->value("ok", false))
    return failed(json->value("error", std::string("scroll-capture-helper failed.")));
  return *json;
}

}  // namespace

Expected<bool, Failure> ScrollHelperChannel::select() {
  auto reply = request(helper_, R"({"command":"select"})", HelperProcess::kForever, interruptFd_);
  if (!reply) return unexpected(reply.error());
  return !reply->value("canceled", false);
}

Expected<Image, Failure> ScrollHelperChannel::capture() {
  auto reply = request(helper_, R"({"command":"capture"})", kReplyTimeout, interruptFd_);
  if (!reply) return unexpected(reply.error());
  const int width = reply->value("width", 0), height = reply->value("height", 0);
  const std::size_t length = reply->value("length", std::size_t{0});
  if (width <= 0 || height <= 0 || length != static_cast<std::size_t>(width) * height * 4)
    return failed("scroll-capture-helper sent a frame of an unexpected size.");
  std::vector<std::uint8_t> bytes;
  if (const ReadEnd end = helper_.readBytes(length, bytes, kReplyTimeout, interruptFd_);
      end != ReadEnd::kDone)
    return unexpected(readFailure(end));
  Image frame = Image::uninitialized(width, height);
  std::memcpy(frame.data(), bytes.data(), length);
  return frame;
}

Expected<void, Failure> ScrollHelperChannel::scroll(double fraction) {
  auto reply =
      request(helper_, R"({"command":"scroll","fraction":)" + std::to_string(fraction) + "}",
              kReplyTimeout, interruptFd_);
  if (!reply) return unexpected(reply.error());
  return {};
}

void ScrollHelperChannel::close() {
  if (!helper_.write(R"({"command":"close"})"
                     "\n"))
    return;
  std::string reply;
  (void)helper_.readLine(reply, std::chrono::seconds(2));
}

}  // namespace orvel::cli
