// Pixel pictures: premultiplied BGRA, 8 bits per channel (32-bit little-endian ARGB words), rows
// top to bottom. `stride` is the byte distance between rows (at least width * 4).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace orvel {

struct ImageView {
  const std::uint8_t* data = nullptr;
  int width = 0;
  int height = 0;
  std::size_t stride = 0;
  const std::uint8_t* row(int y) const { return data + static_cast<std::size_t>(y) * stride; }
};

namespace detail {
// Leaves bytes as they are on resize; Image zero-fills only the pictures that ask for it.
template <class T>
struct UninitializedAllocator : std::allocator<T> {
  template <class U>
  struct rebind {
    using other = UninitializedAllocator<U>;
  };
  UninitializedAllocator() = default;
  template <class U>
  UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
  template <class U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <class U, class... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};
}  // namespace detail

class Image {
 public:
  Image() = default;
  // Zero-filled (transparent) picture with packed rows.
  Image(int width, int height) : Image(width, height, Uninitialized{}) {
    std::fill(pixels_.begin(), pixels_.end(), std::uint8_t{0});
  }
  // A picture with packed rows whose every byte the caller writes.
  static Image uninitialized(int width, int height) {
    return Image(width, height, Uninitialized{});
  }

  int width() const { return width_; }
  int height() const { return height_; }
  std::size_t stride() const { return stride_; }
  bool empty() const { return width_ == 0 || height_ == 0; }
  std::uint8_t* data() { return pixels_.data(); }
  const std::uint8_t* data() const { return pixels_.data(); }
  std::uint8_t* row(int y) { return pixels_.data() + static_cast<std::size_t>(y) * stride_; }
  const std::uint8_t* row(int y) const {
    return pixels_.data() + static_cast<std::size_t>(y) * stride_;
  }
  std::span<const std::uint8_t> bytes() const { return pixels_; }
  ImageView view() const { return {pixels_.data(), width_, height_, stride_}; }

 private:
  struct Uninitialized {};
  Image(int width, int height, Uninitialized)
      : width_(width),
        height_(height),
        stride_(static_cast<std::size_t>(width) * 4),
        pixels_(stride_ * static_cast<std::size_t>(height)) {}

  int width_ = 0;
  int height_ = 0;
  std::size_t stride_ = 0;
  std::vector<std::uint8_t, detail::UninitializedAllocator<std::uint8_t>> pixels_;
};

}  // namespace orvel
