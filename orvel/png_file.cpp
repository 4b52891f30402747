#include "png_file.h"

#include <cairo.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "orvel/common/file_replacement.h"

namespace orvel::cli {

namespace {

cairo_status_t appendBytes(void* closure, const unsigned char* data, unsigned int length) {
  auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
  out->insert(out->end(), data, data + length);
  return CAIRO_STATUS_SUCCESS;
}

Expected<std::vector<std::uint8_t>, Failure> encodePng(const ImageView& picture) {
  // Premultiplied BGRA is cairo's ARGB32 on little-endian machines; cairo only reads the pixels.
  std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)> surface(
      cairo_image_surface_create_for_data(const_cast<std::uint8_t*>(picture.data),
                                          CAIRO_FORMAT_ARGB32, picture.width, picture.height,
                                          static_cast<int>(picture.stride)),
      cairo_surface_destroy);
  std::vector<std::uint8_t> png;
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS ||
      cairo_surface_write_to_png_stream(surface.get(), appendBytes, &png) != CAIRO_STATUS_SUCCESS)
    return failed("Cannot encode the picture as PNG.");
  return png;
}

}  // namespace

Expected<void, Failure> writePngFile(const ImageView& picture, const std::string& path) {
  auto png = encodePng(picture);
  if (!png) return failed(png.error().description);
  if (auto written = replaceFile(path, *png); !written)
    return failed("Cannot write " + path + ": " + std::strerror(written.error().error));
  return {};
}

Expected<void, Failure> writePngTo(const ImageView& picture, int fd) {
  auto png = encodePng(picture);
  if (!png) return failed(png.error().description);
  std::size_t done = 0;
  while (done < png->size()) {
    const ssize_t n = ::write(fd, png->data() + done, png->size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return failed(std::string("Cannot write the picture: ") + std::strerror(errno));
    done += static_cast<std::size_t>(n);
  }
  return {};
}

}  // namespace orvel::cli
