// Frames of a scrolling capture stitched by their overlap into one tall picture, for the demo
// hosts: each frame adds the rows by which it has moved past the one before.
#pragma once

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace orvel::demo {

struct Frame {
  int width = 0, height = 0;
  std::vector<std::uint8_t> bgra;
  std::uint64_t rowHash(int y) const {
    std::uint64_t h = 1469598103934665603ull;
    const std::uint8_t* p = bgra.data() + static_cast<std::size_t>(y) * width * 4;
    for (int i = 0; i < width * 4; ++i)
      h = (h ^ p[i]) * 1099511628211ull;
    return h;
  }
};

// Rows by which `next` has moved past `previous`: the smallest shift at which the rows they share
// are equal; the whole height when they share none.
inline int newRows(const Frame& previous, const Frame& next) {
  const int h = std::min(previous.height, next.height);
  std::vector<std::uint64_t> a(h), b(h);
  for (int y = 0; y < h; ++y) {
    a[y] = previous.rowHash(y);
    b[y] = next.rowHash(y);
  }
  for (int shift = 0; shift < h; ++shift) {
    bool same = true;
    for (int y = 0; y + shift < h && same; ++y)
      same = a[y + shift] == b[y];
    if (same) return shift;
  }
  return next.height;
}

inline bool writePng(const std::string& path, int width, int height,
                     const std::vector<std::uint8_t>& bgra) {
  cairo_surface_t* s = cairo_image_surface_create_for_data(
      const_cast<std::uint8_t*>(bgra.data()), CAIRO_FORMAT_ARGB32, width, height, width * 4);
  const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
  cairo_surface_destroy(s);
  return ok;
}

// Appends the rows of `next` that are new since `previous` to `stitched`; their number.
inline int appendNewRows(Frame& stitched, const Frame& previous, const Frame& next) {
  const int fresh = newRows(previous, next);
  const std::size_t rowBytes = static_cast<std::size_t>(next.width) * 4;
  stitched.bgra.insert(stitched.bgra.end(),
                       next.bgra.end() - static_cast<std::ptrdiff_t>(fresh * rowBytes),
                       next.bgra.end());
  stitched.height += fresh;
  return fresh;
}

}  // namespace orvel::demo
