// A stand-in for sway's IPC socket that a test scripts: a Unix socket in a folder of its own,
// served on a thread. It answers subscriptions, get_tree (with the text the test gives) and
// commands (success), and on demand trickles its replies a byte at a time, says nothing, closes
// every connection, or floods subscribed connections with events without end.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvel::waylandtest {

class FakeSwayIpc {
 public:
  enum class Replies {
    kAnswer,   // at once
    kTrickle,  // one byte every few milliseconds
    kSilent,   // never
    kClose,    // the connection is closed instead
  };

  // Nothing when the socket cannot be made.
  static std::unique_ptr<FakeSwayIpc> start(std::string tree);
  ~FakeSwayIpc();
  FakeSwayIpc(const FakeSwayIpc&) = delete;
  FakeSwayIpc& operator=(const FakeSwayIpc&) = delete;

  const std::string& path() const { return path_; }
  void setTree(std::string tree);
  void setReplies(Replies replies) { replies_ = replies; }
  void setFlood(bool flood) { flood_ = flood; }
  // Requests received so far, and events queued for writing.
  std::size_t requests() const { return requests_; }
  std::size_t eventsSent() const { return eventsSent_; }
  // Connections accepted so far.
  std::size_t connections() const { return connections_; }

 private:
  FakeSwayIpc() = default;
  void serve();
  std::string reply(std::uint32_t type);

  std::string folder_;
  std::string path_;
  int listener_ = -1;
  int wake_[2] = {-1, -1};
  std::mutex mutex_;  // guards tree_
  std::string tree_;
  std::atomic<Replies> replies_{Replies::kAnswer};
  std::atomic<bool> flood_{false};
  std::atomic<std::size_t> requests_{0};
  std::atomic<std::size_t> eventsSent_{0};
  std::atomic<std::size_t> connections_{0};
  std::thread thread_;
};

// Paths where no sway answers, in a folder of their own: one that does not exist, a regular file,
// and a socket that listens and never accepts (so a request there goes unanswered).
class SilentSwaySockets {
 public:
  SilentSwaySockets();
  ~SilentSwaySockets();
  SilentSwaySockets(const SilentSwaySockets&) = delete;
  SilentSwaySockets& operator=(const SilentSwaySockets&) = delete;
  // Empty when the folder or the socket could not be made.
  const std::vector<std::string>& paths() const { return paths_; }

 private:
  std::string folder_;
  int listener_ = -1;
  std::vector<std::string> paths_;
};

}  // namespace orvel::waylandtest
