// sway's IPC against a hostile or stalled peer: the message framing in pieces, the bounded reading
// of the layout tree, and the window list on a scripted socket (fake_sway_ipc.h) that trickles,
// says nothing, closes, floods events, or is no socket at all.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fake_sway_ipc.h"
#include "platform/wayland/sway_packet_reader.h"
#include "platform/wayland/sway_tree_parser.h"
#include "platform/wayland/sway_window_list.h"
#include "sway_rig.h"

namespace orvel::wayland {
namespace {

using waylandtest::FakeSwayIpc;
using waylandtest::waitUntil;

std::string recordedTree() {
  std::ifstream file(ORVEL_SWAY_TREES "/sway_tree_tiled_and_floating.json");
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string message(std::uint32_t type, const std::string& payload) {
  return swayHeader(type, std::uint32_t(payload.size())) + payload;
}

TEST(WaylandSwayIpcFraming, MessagesCutIntoPiecesOfAnySizeReadWhole) {
  const std::string stream = message(kSwayWindowEvent, R"({"change":"new"})") +
                             message(4, recordedTree()) + message(0, "");
  for (std::size_t piece : {std::size_t(1), std::size_t(3), std::size_t(13), std::size_t(14),
                            std::size_t(1000), stream.size()}) {
    SwayPacketReader reader(kSwayMaxPayload);
    std::vector<SwayPacket> packets;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
      reader.append(std::string_view(stream).substr(at, piece));
      while (auto p = reader.next())
        packets.push_back(std::move(*p));
    }
    ASSERT_EQ(packets.size(), 3u) << "pieces of " << piece;
    EXPECT_EQ(packets[0].type, kSwayWindowEvent);
    EXPECT_EQ(packets[1].payload, recordedTree());
    EXPECT_EQ(packets[2], (SwayPacket{0, ""}));
    EXPECT_FALSE(reader.broken());
    EXPECT_EQ(reader.buffered(), 0u);
  }
}

TEST(WaylandSwayIpcFraming, AnOversizeHeaderOrAWrongMagicBreaksTheStreamAtOnce) {
  SwayPacketReader reader(100);
  reader.append(message(4, std::string(100, 'x')));
  ASSERT_TRUE(reader.next());
  // The header alone tells: no byte of the payload is waited for or kept.
  reader.append(swayHeader(4, 101));
  EXPECT_FALSE(reader.next());
  EXPECT_TRUE(reader.broken());
  EXPECT_EQ(reader.buffered(), 0u);
  reader.append(message(4, "{}"));
  EXPECT_FALSE(reader.next());

  SwayPacketReader garbled(100);
  garbled.append("i3-");
  EXPECT_FALSE(garbled.next());
  EXPECT_FALSE(garbled.broken());
  garbled.append("x");
  EXPECT_FALSE(garbled.next());
  EXPECT_TRUE(garbled.broken());
}

std::string nested(int depth, const std::string& key) {
  std::string text;
  for (int i = 0; i < depth; ++i)
    text += "{\"" + key + "\":";
  text += "1";
  text += std::string(std::size_t(depth), '}');
  return text;
}

TEST(WaylandSwayTreeBounds, DepthIsRejectedWhileReadingAndOnlyUsedMembersAreKept) {
  const auto recorded = parseSwayTree(recordedTree());
  ASSERT_TRUE(recorded);
  EXPECT_EQ(shownViews(*recorded), shownViews(*parseJson(recordedTree())));
  EXPECT_FALSE(recorded->contains("marks") || recorded->contains("border"));
  EXPECT_TRUE(recorded->contains("nodes"));

  // Nesting counts in members kept and left out alike.
  for (const std::string key : {"nodes", "marks"}) {
    EXPECT_TRUE(parseSwayTree(nested(kSwayTreeMaxDepth, key))) << key;
    EXPECT_FALSE(parseSwayTree(nested(kSwayTreeMaxDepth + 1, key))) << key;
  }
  EXPECT_FALSE(parseSwayTree(nested(100000, "nodes")));
  EXPECT_FALSE(parseSwayTree("{\"nodes\":[1,2"));
  EXPECT_FALSE(parseSwayTree(std::string("{\"name\":\"a\0b\"}", 14)));
}

TEST(WaylandSwayTreeBounds, MoreValuesThanAnyRealTreeHoldsAreRejected) {
  auto flat = [](const char* key, std::size_t count) {
    std::string text = std::string("{\"") + key + "\":[";
    for (std::size_t i = 0; i < count; ++i)
      text += i ? ",{}" : "{}";
    return text + "]}";
  };
  EXPECT_TRUE(parseSwayTree(flat("nodes", kSwayTreeMaxValues - 2)));
  EXPECT_FALSE(parseSwayTree(flat("nodes", kSwayTreeMaxValues)));
  // Members left out cost nothing kept.
  EXPECT_TRUE(parseSwayTree(flat("marks", kSwayTreeMaxValues + 10)));
}

TEST(WaylandSwayIpcPeer, AnUnreachableSocketGivesNoListUntilSwayAnswers) {
  waylandtest::SilentSwaySockets silent;
  ASSERT_FALSE(silent.paths().empty());
  for (const std::string& path : silent.paths()) {
    auto list = SwayWindowList::open(path.c_str());
    ASSERT_TRUE(list) << path;
    EXPECT_FALSE(list->answered()) << path;
    EXPECT_FALSE(list->read()) << path;
    EXPECT_FALSE(list->run("[con_id=6] focus")) << path;
  }

  // sway's socket appearing later: the list connects then.
  char later[] = "/tmp/orvel-sway-ipc-test-XXXXXX";
  ASSERT_TRUE(::mkdtemp(later));
  const std::string path = std::string(later) + "/sway.sock";
  auto list = SwayWindowList::open(path.c_str());
  EXPECT_FALSE(list->answered());
  auto fake = FakeSwayIpc::start(recordedTree());
  ASSERT_TRUE(fake);
  ASSERT_EQ(::symlink(fake->path().c_str(), path.c_str()), 0);
  EXPECT_TRUE(waitUntil([&] { return list->answered(); }));
  const auto views = list->read();
  ASSERT_TRUE(views);
  EXPECT_EQ(views->size(), 2u);
  std::filesystem::remove_all(later);
}

TEST(WaylandSwayIpcPeer, ATricklingSilentOrClosingSwayFailsAReadAndIsReconnectedAfter) {
  auto fake = FakeSwayIpc::start(recordedTree());
  ASSERT_TRUE(fake);
  auto list = SwayWindowList::open(fake->path().c_str());
  ASSERT_TRUE(list->answered());
  const auto views = list->read(SwayFreshness::kAsk);
  ASSERT_TRUE(views);
  ASSERT_EQ(views->size(), 2u);
  for (auto replies : {FakeSwayIpc::Replies::kTrickle, FakeSwayIpc::Replies::kSilent,
                       FakeSwayIpc::Replies::kClose}) {
    SCOPED_TRACE(int(replies));
    fake->setReplies(replies);
    EXPECT_FALSE(list->read(SwayFreshness::kAsk));
    EXPECT_FALSE(list->run("[con_id=6] focus"));
    fake->setReplies(FakeSwayIpc::Replies::kAnswer);
    const auto connections = fake->connections();
    EXPECT_TRUE(waitUntil([&] { return list->read(SwayFreshness::kAsk) == views; }));
    EXPECT_GT(fake->connections(), connections);
    EXPECT_TRUE(list->run("[con_id=6] focus"));
  }
}

TEST(WaylandSwayIpcPeer, AnEventFloodLeavesReadsAnswered) {
  auto fake = FakeSwayIpc::start(recordedTree());
  ASSERT_TRUE(fake);
  auto list = SwayWindowList::open(fake->path().c_str());
  ASSERT_TRUE(list->read());
  fake->setFlood(true);
  // Once the events arrive they make the cache stale: the tree is asked for again.
  const auto reads = list->treeReads();
  ASSERT_TRUE(waitUntil([&] { return list->read() && list->treeReads() > reads; }));
  // More keep coming than a read takes; each read is still answered.
  for (int i = 0; i < 20; ++i) {
    const auto views = list->read();
    ASSERT_TRUE(views);
    EXPECT_EQ(views->size(), 2u);
  }

  // One take of events reads no more than it is given, however many wait.
  auto ipc = SwayIpc::open(fake->path());
  ASSERT_TRUE(ipc);
  ASSERT_TRUE(ipc->request(SwayMessage::kSubscribe, R"(["window"])",
                           std::chrono::steady_clock::now() + kSwayExchangeDeadline));
  constexpr std::size_t kBudget = 64 * 1024;
  // The first take also counts what came with the subscription's reply.
  ASSERT_TRUE(waitUntil([&] { return ipc->takeEvents(kBudget) > 0; }));
  std::size_t taken = 0;
  for (int i = 0; i < 20 && ipc->ok(); ++i)
    taken = std::max(taken, ipc->takeEvents(kBudget));
  EXPECT_TRUE(ipc->ok());
  // The fake's events are 600 bytes and a header; one may have begun in the take before.
  EXPECT_LE(taken, kBudget / (kSwayHeaderSize + 600) + 1);
  fake->setFlood(false);
}

}  // namespace
}  // namespace orvel::wayland
