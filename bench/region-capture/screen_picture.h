// A deterministic picture that compresses like a real desktop: a photographic wallpaper, windows
// with flat chrome, lines of anti-aliased glyphs, and a photo inside one window.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

#include "orvel/common/image.h"

namespace orvel::region::bench {

inline std::uint32_t bgra(int r, int g, int b) {
  auto c = [](int v) { return static_cast<std::uint32_t>(std::clamp(v, 0, 255)); };
  return c(b) | c(g) << 8 | c(r) << 16 | 0xff000000u;
}

// Smooth shapes plus fine grain, like a downscaled photograph.
inline std::uint32_t photo(int x, int y, std::mt19937& grain, int grainLevels) {
  const double fx = x * 0.004, fy = y * 0.006;
  const int r = static_cast<int>(120 + 70 * std::sin(fx * 3 + std::cos(fy * 2)));
  const int g = static_cast<int>(110 + 60 * std::cos(fy * 4 - fx));
  const int b = static_cast<int>(140 + 50 * std::sin((fx + fy) * 5));
  const int n = static_cast<int>(grain() % grainLevels) - grainLevels / 2;
  return bgra(r + n, g + n, b + n);
}

inline Image screenPicture(int width, int height, unsigned seed) {
  Image image(width, height);
  std::mt19937 random(seed);
  auto px = [&](int x, int y) -> std::uint32_t& {
    return reinterpret_cast<std::uint32_t*>(image.row(y))[x];
  };
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      px(x, y) = photo(x, y, random, 1);  // a smooth wallpaper

  const int windows = 3 + width / 1280;
  for (int w = 0; w < windows; ++w) {
    const int ww = width / 3 + static_cast<int>(random() % (width / 3));
    const int wh = height / 3 + static_cast<int>(random() % (height / 3));
    const int wx = static_cast<int>(random() % (width - ww));
    const int wy = static_cast<int>(random() % (height - wh));
    const int title = height / 40;
    for (int y = wy; y < wy + wh; ++y)
      for (int x = wx; x < wx + ww; ++x)
        px(x, y) = y < wy + title ? bgra(232, 232, 236) : bgra(255, 255, 255);
    // Text: rows of words made of random 6x10 glyphs with grey, anti-aliased edges.
    const int lineHeight = 18;
    for (int line = wy + title + 12; line + 12 < wy + wh * 2 / 3; line += lineHeight) {
      int x = wx + 16;
      while (x + 60 < wx + ww - 16) {
        const int letters = 2 + static_cast<int>(random() % 9);
        for (int l = 0; l < letters; ++l, x += 7) {
          const std::uint32_t shape = random();
          for (int gy = 0; gy < 10; ++gy)
            for (int gx = 0; gx < 6; ++gx) {
              const int bit = (gx * 10 + gy) % 32;
              if (shape >> bit & 1) {
                const int ink = (gx == 0 || gy == 9) ? 140 : 30;
                px(x + gx, line + gy) = bgra(ink, ink, ink + 10);
              }
            }
        }
        x += 7;
      }
    }
    // A photo in the lower third of the first window.
    if (w == 0) {
      for (int y = wy + wh * 2 / 3; y < wy + wh - 8; ++y)
        for (int x = wx + 8; x < wx + ww / 2; ++x)
          px(x, y) = photo(x * 3, y * 3, random, 9);
    }
  }
  return image;
}

}  // namespace orvel::region::bench
