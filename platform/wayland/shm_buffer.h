// One wl_shm buffer over an anonymous memory file mapped into this process. The compositor reads
// it (a surface's content) or writes it (a screen picture); busy() holds from attach() until the
// compositor releases it. The buffer dispatches on the queue of `shm`'s connection.
#pragma once

#include <wayland-client.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform/wayland/wl_handles.h"

namespace orvel::wayland {

class ShmBuffer {
 public:
  // Null when the memory cannot be had.
  static std::unique_ptr<ShmBuffer> create(wl_shm* shm, int width, int height, int stride,
                                           std::uint32_t format);
  ~ShmBuffer();
  ShmBuffer(const ShmBuffer&) = delete;
  ShmBuffer& operator=(const ShmBuffer&) = delete;

  wl_buffer* buffer() const { return buffer_.get(); }
  std::uint8_t* data() const { return static_cast<std::uint8_t*>(data_); }
  int width() const { return width_; }
  int height() const { return height_; }
  int stride() const { return stride_; }
  std::uint32_t format() const { return format_; }
  std::size_t size() const { return size_; }
  bool busy() const { return busy_; }
  // Marks the buffer in use by the compositor until its release event.
  void attach(wl_surface* surface);

 private:
  ShmBuffer() = default;
  static void released(void* data, wl_buffer*);

  void* data_ = nullptr;
  std::size_t size_ = 0;
  int width_ = 0, height_ = 0, stride_ = 0;
  std::uint32_t format_ = 0;
  bool busy_ = false;
  WlPtr<wl_buffer> buffer_;
};

}  // namespace orvel::wayland
