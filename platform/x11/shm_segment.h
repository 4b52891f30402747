// A System V shared-memory segment attached to the X server for XShm transfers. The segment is
// private to this user (mode 0600) and marked for removal as soon as both sides have attached it,
// so it disappears with the process whatever way the process ends.
#pragma once

#include <xcb/shm.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/x11/x11_connection.h"

namespace orvel::x11 {

class ShmSegment {
 public:
  // Null when shared memory cannot be made or the server cannot attach it (a remote display).
  static std::unique_ptr<ShmSegment> create(X11Connection& connection, std::size_t size);
  ~ShmSegment();
  ShmSegment(const ShmSegment&) = delete;
  ShmSegment& operator=(const ShmSegment&) = delete;

  xcb_shm_seg_t id() const { return seg_; }
  std::size_t size() const { return size_; }
  const std::uint8_t* data() const { return data_; }

 private:
  ShmSegment(X11Connection& connection, xcb_shm_seg_t seg, std::uint8_t* data, std::size_t size)
      : connection_(connection), seg_(seg), data_(data), size_(size) {}
  X11Connection& connection_;
  xcb_shm_seg_t seg_;
  std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace orvel::x11
