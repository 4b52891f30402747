// Frames of any content, sizes and asked distances stitched onto a page: the overlap found must
// describe rows inside the frames, and the page must grow by exactly the rows it reports.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "orvel/stitching/page_stitcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  const int width = 1 + data[0] % 4;
  const int height = 1 + data[1] % 64;
  const int asked = data[2] % 80;
  data += 3;
  size -= 3;
  // Row colours come from the input, a few distinct values so that repeats are common.
  const std::size_t frameRows = static_cast<std::size_t>(height);
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * 4 * frameRows);
  auto frameAt = [&](std::size_t offset) {
    for (std::size_t y = 0; y < frameRows; ++y) {
      const std::uint8_t v = offset + y < size ? data[offset + y] % 5 : 0;
      for (std::size_t i = 0; i < static_cast<std::size_t>(width) * 4; ++i)
        pixels[y * width * 4 + i] = v;
    }
    return orvel::ImageView{pixels.data(), width, height, static_cast<std::size_t>(width) * 4};
  };
  orvel::stitching::PageStitcher page(frameAt(0));
  for (std::size_t offset = frameRows / 2 + 1; offset < size; offset += frameRows / 2 + 1) {
    const int before = page.height();
    const auto o = page.add(frameAt(offset), asked);
    if (o.header < 0 || o.footer < 0 || o.shift < 0 || o.header + o.footer + o.shift > height)
      std::abort();
    if (page.height() != before + o.shift) std::abort();
  }
  return 0;
}
