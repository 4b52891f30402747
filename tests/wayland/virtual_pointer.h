// A pointer for the tests: a zwlr_virtual_pointer_v1 held for the rig's whole life (the headless
// seat has no pointer device of its own, and a pointer that comes and goes loses its state).
// Positions are logical points of the compositor's layout, relative to the top-left corner of the
// layout's bounding box.
#pragma once

#include <memory>
#include <string>

struct wl_display;

namespace orvel::waylandtest {

class VirtualPointer {
 public:
  // Null when the compositor offers no virtual pointers. `width` x `height`: the layout's bounding
  // box in points, so that absolute motion maps one to one onto points.
  static std::unique_ptr<VirtualPointer> open(const std::string& display, int width, int height);
  ~VirtualPointer();
  VirtualPointer(const VirtualPointer&) = delete;
  VirtualPointer& operator=(const VirtualPointer&) = delete;

  // The layout's bounding box changed (an output turned): the same pointer maps onto the new one.
  void setExtent(int width, int height) {
    width_ = width;
    height_ = height;
  }
  void moveTo(int x, int y);
  // BTN_LEFT by default.
  void button(bool down, unsigned code = 0x110);
  void wheel(int clicks);
  // Press at one point, move there in steps, release.
  void drag(int x0, int y0, int x1, int y1, int steps = 8);

 private:
  VirtualPointer() = default;
  void done();
  struct Objects;
  std::unique_ptr<Objects> objects_;
  int width_ = 0, height_ = 0;
  unsigned time_ = 1;
};

}  // namespace orvel::waylandtest
