// Reading a SYNC list-system-counters reply: every counter's name is padded to whole words, and a
// reply whose count claims more than it holds is read only as far as it goes.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/x11/window_properties.h"

namespace orvel::x11 {
namespace {

// A reply listing `names`, counter ids 1, 2, ...; `claimed` counters in its header (-1: as many
// as listed).
std::vector<std::uint32_t> countersReply(const std::vector<std::string>& names, int claimed = -1) {
  std::vector<std::uint8_t> body;
  std::uint32_t id = 0;
  for (const std::string& name : names) {
    std::uint8_t head[14] = {};
    ++id;
    std::memcpy(head, &id, 4);
    const auto length = static_cast<std::uint16_t>(name.size());
    std::memcpy(head + 12, &length, 2);
    body.insert(body.end(), head, head + 14);
    body.insert(body.end(), name.begin(), name.end());
    while (body.size() % 4 != 0)
      body.push_back(0xEE);
  }
  std::vector<std::uint32_t> words(8 + body.size() / 4);
  auto* reply = reinterpret_cast<xcb_sync_list_system_counters_reply_t*>(words.data());
  reply->length = static_cast<std::uint32_t>(body.size() / 4);
  reply->counters_len = static_cast<std::uint32_t>(claimed < 0 ? names.size() : claimed);
  std::memcpy(words.data() + 8, body.data(), body.size());
  return words;
}

const xcb_sync_list_system_counters_reply_t& asReply(const std::vector<std::uint32_t>& words) {
  return *reinterpret_cast<const xcb_sync_list_system_counters_reply_t*>(words.data());
}

TEST(SystemCounter, FoundPastPaddedNamesAndNeverPastTheReply) {
  // Names of every length modulo 4 before the one looked for.
  const auto reply = countersReply({"IDLETIME", "A", "ABCDE", "KEYBOARD", "SERVERTIME"});
  EXPECT_EQ(systemCounter(asReply(reply), "SERVERTIME"), 5u);
  EXPECT_EQ(systemCounter(asReply(reply), "ABCDE"), 3u);
  EXPECT_FALSE(systemCounter(asReply(reply), "SERVER"));
  // A count of more counters than the reply holds stops at its end.
  const auto overclaimed = countersReply({"IDLETIME"}, 1000);
  EXPECT_FALSE(systemCounter(asReply(overclaimed), "SERVERTIME"));
  EXPECT_EQ(systemCounter(asReply(overclaimed), "IDLETIME"), 1u);
  // A name running past the reply is not read.
  auto cut = countersReply({"SERVERTIME"});
  reinterpret_cast<xcb_sync_list_system_counters_reply_t*>(cut.data())->length = 4;
  EXPECT_FALSE(systemCounter(asReply(cut), "SERVERTIME"));
}

}  // namespace
}  // namespace orvel::x11
