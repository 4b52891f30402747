#include "fake_sway_ipc.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/wayland/sway_ipc.h"
#include "platform/wayland/sway_packet_reader.h"

namespace orvel::waylandtest {

namespace {

using wayland::swayHeader;
using wayland::SwayPacketReader;

constexpr int kTrickleMs = 20;
// A window event as sway writes one, of the usual size.
const std::string kEvent = swayHeader(wayland::kSwayWindowEvent, 600) + std::string(600, ' ');

struct Client {
  int fd = -1;
  SwayPacketReader in{1u << 20};
  std::string out;
  bool subscribed = false;
};

}  // namespace

std::unique_ptr<FakeSwayIpc> FakeSwayIpc::start(std::string tree) {
  std::unique_ptr<FakeSwayIpc> fake(new FakeSwayIpc());
  char folder[] = "/tmp/orvel-fake-sway-XXXXXX";
  if (!::mkdtemp(folder)) return nullptr;
  fake->folder_ = folder;
  fake->path_ = fake->folder_ + "/sway-ipc.sock";
  fake->tree_ = std::move(tree);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, fake->path_.c_str());
  fake->listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fake->listener_ < 0 ||
      ::bind(fake->listener_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(fake->listener_, 16) != 0 || ::pipe2(fake->wake_, O_CLOEXEC) != 0)
    return nullptr;
  fake->thread_ = std::thread([f = fake.get()] { f->serve(); });
  return fake;
}

FakeSwayIpc::~FakeSwayIpc() {
  if (thread_.joinable()) {
    [[maybe_unused]] const auto n = ::write(wake_[1], "x", 1);
    thread_.join();
  }
  for (int fd : {listener_, wake_[0], wake_[1]})
    if (fd >= 0) ::close(fd);
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

void FakeSwayIpc::setTree(std::string tree) {
  std::lock_guard lock(mutex_);
  tree_ = std::move(tree);
}

std::string FakeSwayIpc::reply(std::uint32_t type) {
  std::string payload;
  switch (wayland::SwayMessage(type)) {
    case wayland::SwayMessage::kSubscribe:
      payload = R"({"success":true})";
      break;
    case wayland::SwayMessage::kGetTree: {
      std::lock_guard lock(mutex_);
      payload = tree_;
      break;
    }
    case wayland::SwayMessage::kRunCommand:
      payload = R"([{"success":true}])";
      break;
    default:
      payload = "[]";
  }
  return swayHeader(type, std::uint32_t(payload.size())) + payload;
}

void FakeSwayIpc::serve() {
  std::vector<Client> clients;
  for (;;) {
    const bool trickling = replies_ == Replies::kTrickle;
    std::vector<pollfd> fds{{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
    for (const auto& c : clients) {
      const bool writing = !c.out.empty() || (c.subscribed && flood_);
      fds.push_back({c.fd, short(POLLIN | (writing && !trickling ? POLLOUT : 0)), 0});
    }
    ::poll(fds.data(), fds.size(), trickling ? kTrickleMs : 100);
    // What the test asked for by the time the requests came.
    const Replies mode = replies_;
    if (fds[0].revents) break;
    if (fds[1].revents & POLLIN) {
      const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (fd >= 0) {
        clients.emplace_back().fd = fd;
        ++connections_;
      }
    }
    for (std::size_t i = 0; i < clients.size() && i + 2 < fds.size(); ++i) {
      Client& c = clients[i];
      bool gone = false;
      if (fds[i + 2].revents & (POLLIN | POLLHUP | POLLERR)) {
        char buffer[4096];
        const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
        if (n <= 0) gone = true;
        if (n > 0) c.in.append(std::string_view(buffer, std::size_t(n)));
        while (auto packet = c.in.next()) {
          ++requests_;
          if (mode == Replies::kClose) gone = true;
          if (mode == Replies::kSilent || gone) continue;
          if (packet->type == std::uint32_t(wayland::SwayMessage::kSubscribe)) c.subscribed = true;
          c.out += reply(packet->type);
        }
      }
      // As much as the socket takes: a reader never finds it drained.
      while (!gone && c.subscribed && flood_ && c.out.size() < 512 * 1024) {
        c.out += kEvent;
        ++eventsSent_;
      }
      if (!gone && !c.out.empty() && mode != Replies::kSilent) {
        const std::size_t n = mode == Replies::kTrickle ? 1 : c.out.size();
        const ssize_t sent = ::send(c.fd, c.out.data(), n, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) c.out.erase(0, std::size_t(sent));
        if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK) gone = true;
      }
      if (gone) {
        ::close(c.fd);
        c.fd = -1;
      }
    }
    std::erase_if(clients, [](const Client& c) { return c.fd < 0; });
  }
  for (auto& c : clients)
    ::close(c.fd);
}

SilentSwaySockets::SilentSwaySockets() {
  char folder[] = "/tmp/orvel-silent-sway-XXXXXX";
  if (!::mkdtemp(folder)) return;
  folder_ = folder;
  const std::string regular = folder_ + "/regular";
  std::ofstream(regular) << "not a socket";
  const std::string silent = folder_ + "/silent.sock";
  listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strcpy(address.sun_path, silent.c_str());
  if (listener_ < 0 ||
      ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener_, 4) != 0)
    return;
  paths_ = {folder_ + "/missing.sock", regular, silent};
}

SilentSwaySockets::~SilentSwaySockets() {
  if (listener_ >= 0) ::close(listener_);
  std::error_code ignored;
  if (!folder_.empty()) std::filesystem::remove_all(folder_, ignored);
}

}  // namespace orvel::waylandtest
