// Writes replies to the host: one line, or one line followed by a binary payload, as a single unit
// that no other reply can split. Safe to call from several threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <span>
#include <string_view>

namespace orvel {

// Where replies go: one line plus an optional payload per call, never interleaved with another.
class ReplyChannel {
 public:
  virtual ~ReplyChannel() = default;
  // Returns false when the output is closed or broken.
  virtual bool write(std::string_view line, std::span<const std::uint8_t> payload = {}) = 0;
};

class ReplyWriter final : public ReplyChannel {
 public:
  explicit ReplyWriter(int fd) : fd_(fd) {}

  // Writes `line`, a line feed and `payload`, resuming partial writes. Returns false when the
  // output is closed or broken; every later call then returns false without writing.
  bool write(std::string_view line, std::span<const std::uint8_t> payload = {}) override;
  bool closed() const;

 private:
  int fd_;
  mutable std::mutex mutex_;
  bool broken_ = false;
};

// Makes a pipe on `fd` as large as the system allows (Linux), so that a large payload crosses in
// few writes. Does nothing when `fd` is not a pipe. Returns the resulting capacity or 0.
std::size_t enlargePipeBuffer(int fd);

}  // namespace orvel
