// Pages and the frames a scrolling view would show of them, for the stitching tests: a page is a
// list of row colours; a frame shows a window of it between optional fixed header and footer rows.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "orvel/common/image.h"

namespace orvel::stitching::testing {

inline constexpr int kWidth = 6;
using Rows = std::vector<std::uint32_t>;

// Every row a colour of its own.
inline Rows distinctRows(int count, std::uint32_t salt = 0) {
  Rows rows;
  for (int r = 0; r < count; ++r)
    rows.push_back(0xff000000u | (salt << 20) | static_cast<std::uint32_t>(r));
  return rows;
}

// Lines of text: 14 rows of ink that differ per line, then 8 blank rows alike on every line.
inline Rows textRows(int lines) {
  Rows rows;
  for (int l = 0; l < lines; ++l) {
    for (int r = 0; r < 14; ++r)
      rows.push_back(0xff100000u | static_cast<std::uint32_t>(l * 14 + r));
    for (int r = 0; r < 8; ++r)
      rows.push_back(0xffffffffu);
  }
  return rows;
}

// A title, then an empty table: a grid line every `period` rows, white between.
inline Rows emptyTableRows(int titleRows, int count, int period) {
  Rows rows = distinctRows(titleRows, 3);
  for (int r = 0; r < count; ++r)
    rows.push_back(r % period == 0 ? 0xff808080u : 0xffffffffu);
  return rows;
}

inline Image picture(const Rows& rows) {
  Image image(kWidth, static_cast<int>(rows.size()));
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < kWidth; ++x)
      std::memcpy(image.row(y) + x * 4, &rows[static_cast<std::size_t>(y)], 4);
  }
  return image;
}

inline Rows rowsOf(const ImageView& view) {
  Rows rows;
  for (int y = 0; y < view.height; ++y) {
    std::uint32_t v;
    std::memcpy(&v, view.row(y), 4);
    rows.push_back(v);
  }
  return rows;
}

// What the view shows with the page scrolled to `top`: header, `visible` page rows, footer.
inline Image frameAt(const Rows& page, int top, int visible, const Rows& header = {},
                     const Rows& footer = {}) {
  Rows rows = header;
  rows.insert(rows.end(), page.begin() + top, page.begin() + top + visible);
  rows.insert(rows.end(), footer.begin(), footer.end());
  return picture(rows);
}

}  // namespace orvel::stitching::testing
