#include "platform/wayland/shm_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

namespace orvel::wayland {

std::unique_ptr<ShmBuffer> ShmBuffer::create(wl_shm* shm, int width, int height, int stride,
                                             std::uint32_t format) {
  if (!shm || width <= 0 || height <= 0 || stride < width * 4) return nullptr;
  const std::size_t size = static_cast<std::size_t>(stride) * static_cast<std::size_t>(height);
  if (size > static_cast<std::size_t>(INT32_MAX)) return nullptr;
  const int fd = ::memfd_create("orvel-shm", MFD_CLOEXEC | MFD_ALLOW_SEALING);
  if (fd < 0) return nullptr;
  std::unique_ptr<ShmBuffer> out(new ShmBuffer);
  if (::ftruncate(fd, static_cast<off_t>(size)) != 0) {
    ::close(fd);
    return nullptr;
  }
  void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  if (data == MAP_FAILED) {
    ::close(fd);
    return nullptr;
  }
  out->data_ = data;
  out->size_ = size;
  wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<std::int32_t>(size));
  out->buffer_.reset(wl_shm_pool_create_buffer(pool, 0, width, height, stride, format));
  // The buffer keeps the memory; pool and descriptor are no longer needed.
  wl_shm_pool_destroy(pool);
  ::close(fd);
  out->width_ = width;
  out->height_ = height;
  out->stride_ = stride;
  out->format_ = format;
  static const wl_buffer_listener kBufferListener = {&ShmBuffer::released};
  wl_buffer_add_listener(out->buffer_.get(), &kBufferListener, out.get());
  return out;
}

ShmBuffer::~ShmBuffer() {
  buffer_.reset();
  if (data_) ::munmap(data_, size_);
}

void ShmBuffer::attach(wl_surface* surface) {
  wl_surface_attach(surface, buffer_.get(), 0, 0);
  busy_ = true;
}

void ShmBuffer::released(void* data, wl_buffer*) {
  static_cast<ShmBuffer*>(data)->busy_ = false;
}

}  // namespace orvel::wayland
