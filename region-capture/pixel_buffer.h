// Large zero-filled memory for whole pictures. Fresh anonymous pages are already zero, so nothing
// is cleared twice, and huge pages cut the page faults of a 50-megapixel picture by ~500 times.
#pragma once

#include <cstddef>
#include <cstdint>

namespace orvel::region {

class PixelBuffer {
 public:
  PixelBuffer() = default;
  // Empty (data() null) when the memory cannot be had.
  explicit PixelBuffer(std::size_t size);
  ~PixelBuffer();
  PixelBuffer(PixelBuffer&& other) noexcept;
  PixelBuffer& operator=(PixelBuffer&& other) noexcept;
  PixelBuffer(const PixelBuffer&) = delete;
  PixelBuffer& operator=(const PixelBuffer&) = delete;

  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }
  explicit operator bool() const { return data_ != nullptr; }

 private:
  void release();
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace orvel::region
