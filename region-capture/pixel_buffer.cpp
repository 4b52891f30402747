#include "pixel_buffer.h"

#include <sys/mman.h>

#include <utility>

namespace orvel::region {

PixelBuffer::PixelBuffer(std::size_t size) {
  if (size == 0) return;
  void* memory = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (memory == MAP_FAILED) return;
#ifdef MADV_HUGEPAGE
  ::madvise(memory, size, MADV_HUGEPAGE);
#endif
  data_ = static_cast<std::uint8_t*>(memory);
  size_ = size;
}

PixelBuffer::~PixelBuffer() {
  release();
}

PixelBuffer::PixelBuffer(PixelBuffer&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

PixelBuffer& PixelBuffer::operator=(PixelBuffer&& other) noexcept {
  if (this != &other) {
    release();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void PixelBuffer::release() {
  if (data_) ::munmap(data_, size_);
  data_ = nullptr;
  size_ = 0;
}

}  // namespace orvel::region
