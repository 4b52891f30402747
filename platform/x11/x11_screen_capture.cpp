#include "platform/x11/x11_screen_capture.h"

#include <cairo.h>
#include <xcb/shm.h>

#include <algorithm>
#include <cstring>
#include <set>

#include "platform/linux/application_identity.h"
#include "platform/x11/window_list.h"
#include "platform/x11/x11_reply.h"

namespace orvel::x11 {

namespace {

PixelFormat formatOf(const X11Connection& connection) {
  PixelFormat f;
  const xcb_setup_t* setup = xcb_get_setup(connection.get());
  const xcb_screen_t* screen = connection.screen();
  for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it)) {
    if (it.data->depth == screen->root_depth) f.bitsPerPixel = it.data->bits_per_pixel;
  }
  f.lsbFirst = setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST;
  for (auto d = xcb_screen_allowed_depths_iterator(screen); d.rem; xcb_depth_next(&d)) {
    for (auto v = xcb_depth_visuals_iterator(d.data); v.rem; xcb_visualtype_next(&v)) {
      if (v.data->visual_id == screen->root_visual) {
        f.redMask = v.data->red_mask;
        f.greenMask = v.data->green_mask;
        f.blueMask = v.data->blue_mask;
      }
    }
  }
  return f;
}

// `source` scaled to width x height (the display's pixels are not the configured size).
Image scaled(const Image& source, int width, int height) {
  Image out(width, height);
  using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
  Surface from(cairo_image_surface_create_for_data(
                   const_cast<std::uint8_t*>(source.data()), CAIRO_FORMAT_ARGB32, source.width(),
                   source.height(), static_cast<int>(source.stride())),
               cairo_surface_destroy);
  Surface to(cairo_image_surface_create_for_data(out.data(), CAIRO_FORMAT_ARGB32, width, height,
                                                 static_cast<int>(out.stride())),
             cairo_surface_destroy);
  cairo_t* cr = cairo_create(to.get());
  cairo_scale(cr, double(width) / source.width(), double(height) / source.height());
  cairo_set_source_surface(cr, from.get(), 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(to.get());
  return out;
}

}  // namespace

class X11ExclusionHold final : public platform::ExclusionHold {
 public:
  explicit X11ExclusionHold(X11ScreenCapture& capture) : capture_(capture) { capture_.hold(); }
  ~X11ExclusionHold() override { capture_.release(); }

 private:
  X11ScreenCapture& capture_;
};

X11ScreenCapture::X11ScreenCapture(const char* display, WindowListCache* windows,
                                   std::chrono::milliseconds repaintBudget)
    : connection_(X11Connection::open(display)), windows_(windows) {
  if (!connection_) return;
  format_ = formatOf(*connection_);
  composer_ = std::make_unique<WindowComposer>(*connection_, repaintBudget);
}

std::unique_ptr<platform::ExclusionHold> X11ScreenCapture::holdExclusions() {
  return std::make_unique<X11ExclusionHold>(*this);
}

void X11ScreenCapture::hold() {
  std::lock_guard lock(mutex_);
  // Now rather than at the first picture, so that clients repaint what was hidden meanwhile.
  if (++holds_ == 1 && composer_ && connection_->ok()) composer_->redirect();
}

void X11ScreenCapture::release() {
  std::lock_guard lock(mutex_);
  if (--holds_ == 0 && composer_) composer_->unredirect();
}

X11ScreenCapture::~X11ScreenCapture() {
  std::lock_guard lock(mutex_);
  segment_.reset();
}

std::uint64_t X11ScreenCapture::roundTrips() {
  std::lock_guard lock(mutex_);
  return connection_ ? connection_->roundTrips() : 0;
}

void X11ScreenCapture::dropEvents() {
  // Errors of unchecked requests (a window that vanished mid-composition) land here, and the
  // damage reports of the repaints the composer waits for.
  while (xcb_generic_event_t* e = xcb_poll_for_event(connection_->get())) {
    composer_->noteEvent(e);
    std::free(e);
  }
}

Expected<platform::ShareableContent, platform::PlatformError> X11ScreenCapture::shareableContent(
    bool /*excludeDesktopWindows: the list never holds desktop windows*/, bool /*onScreenOnly*/) {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->ok()) return failed("The X display is not reachable.");
  const MonitorLayout layout = MonitorLayout::read(*connection_);
  platform::ShareableContent content;
  for (const auto& m : layout.monitors())
    content.displays.push_back({m.id, layout.toGlobal(m.pixels)});
  std::set<std::int32_t> pids;
  for (const auto& r : readWindowList(windows_, *connection_)) {
    content.windows.push_back({r.id, r.pid, layout.toGlobal(r.frame), true});
    if (r.pid) pids.insert(*r.pid);
  }
  for (std::int32_t pid : pids) {
    if (auto info = procfs::readProcess(pid))
      content.applications.push_back({pid, info->applicationID});
  }
  dropEvents();
  // A server that went away while being read leaves an empty desktop, which is no answer.
  if (!connection_->ok()) return failed("The X display is not reachable.");
  return content;
}

bool X11ScreenCapture::grab(xcb_drawable_t drawable, const PixelRect& area, int sourceX,
                            int sourceY, Image& image, int dx, int dy) {
  xcb_connection_t* c = connection_->get();
  const int bytesPerPixel = format_.bitsPerPixel / 8;
  const std::size_t rowBytes = static_cast<std::size_t>(area.width) * bytesPerPixel;
  const std::size_t size = rowBytes * static_cast<std::size_t>(area.height);
  if (connection_->extensions().shm && (!segment_ || segment_->size() < size)) {
    segment_.reset();
    // Room to spare, so that a slightly larger area next time reuses the segment.
    segment_ = ShmSegment::create(*connection_, size + size / 4);
  }
  const std::uint8_t* pixels = nullptr;
  Reply<xcb_get_image_reply> plain;
  if (segment_) {
    const Reply<xcb_shm_get_image_reply> r(
        *connection_, xcb_shm_get_image(c, drawable, static_cast<std::int16_t>(sourceX),
                                        static_cast<std::int16_t>(sourceY),
                                        static_cast<std::uint16_t>(area.width),
                                        static_cast<std::uint16_t>(area.height), ~0u,
                                        XCB_IMAGE_FORMAT_Z_PIXMAP, segment_->id(), 0));
    if (!r) return false;
    pixels = segment_->data();
  } else {
    plain = {
        *connection_,
        xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, static_cast<std::int16_t>(sourceX),
                      static_cast<std::int16_t>(sourceY), static_cast<std::uint16_t>(area.width),
                      static_cast<std::uint16_t>(area.height), ~0u)};
    if (!plain || static_cast<std::size_t>(xcb_get_image_data_length(plain.get())) < size) {
      return false;
    }
    pixels = xcb_get_image_data(plain.get());
  }
  for (int y = 0; y < area.height; ++y) {
    convertRow(format_, pixels + static_cast<std::size_t>(y) * rowBytes,
               image.row(dy + y) + static_cast<std::size_t>(dx) * 4, area.width);
  }
  return true;
}

Expected<Image, platform::PlatformError> X11ScreenCapture::captureImage(
    const platform::ContentFilter& filter, const platform::CaptureConfiguration& config) {
  std::lock_guard lock(mutex_);
  if (!connection_ || !connection_->ok()) return failed("The X display is not reachable.");
  if (config.width <= 0 || config.height <= 0) return failed("Invalid capture size.");
  const MonitorLayout layout = MonitorLayout::read(*connection_);
  const Monitor* monitor = layout.find(filter.displayID);
  if (!monitor) return failed("The display is not available.");
  const Rect display = layout.toGlobal(monitor->pixels);
  const Rect source = config.sourceRect.value_or(Rect{0, 0, display.width, display.height});
  const PixelRect wanted =
      layout.toRootPixels(source.standardized().offsetBy(display.x, display.y));
  if (wanted.empty()) return failed("Invalid capture area.");
  // X refuses a grab that reaches outside the root; what lies outside stays transparent.
  const PixelRect area = wanted.intersection(layout.root());

  // Which excluded windows show in the area, by their top-level windows.
  std::set<xcb_window_t> leftOut;
  std::vector<PixelRect> leftOutFrames;
  if (!area.empty() && (!filter.excludedWindows.empty() || !filter.excludedApplications.empty())) {
    const std::set<std::uint32_t> windows(filter.excludedWindows.begin(),
                                          filter.excludedWindows.end());
    const std::set<std::int32_t> apps(filter.excludedApplications.begin(),
                                      filter.excludedApplications.end());
    for (const auto& r : readWindowList(windows_, *connection_)) {
      const bool excluded = windows.count(r.id) || (r.pid && apps.count(*r.pid));
      if (!excluded || r.frame.intersection(area).empty()) continue;
      if (auto top = composer_->topLevelOf(r.id)) leftOut.insert(*top);
      leftOutFrames.push_back(r.frame);
    }
  }

  // Every byte of a picture that lies wholly on the root is written below.
  Image image = area == wanted ? Image::uninitialized(wanted.width, wanted.height)
                               : Image(wanted.width, wanted.height);
  if (!area.empty()) {
    bool done = false;
    if (!leftOut.empty()) {
      // Without a hold, the windows are redirected for this picture alone.
      const bool once = !composer_->redirected() && composer_->redirect();
      if (auto composed = composer_->compose(area, leftOut)) {
        done = grab(composed->id(), area, 0, 0, image, area.x - wanted.x, area.y - wanted.y);
      }
      if (once) composer_->unredirect();
    }
    if (!done) {
      if (!grab(connection_->root(), area, area.x, area.y, image, area.x - wanted.x,
                area.y - wanted.y)) {
        dropEvents();
        return failed("The screen could not be read.");
      }
      if (!leftOut.empty()) {
        // Composition failed: the excluded windows' pixels must still not show.
        for (const PixelRect& f : leftOutFrames) {
          const PixelRect hide = f.intersection(wanted);
          for (int y = 0; y < hide.height; ++y) {
            std::memset(
                image.row(hide.y - wanted.y + y) + static_cast<std::size_t>(hide.x - wanted.x) * 4,
                0, static_cast<std::size_t>(hide.width) * 4);
          }
        }
      }
    }
  }
  dropEvents();
  if (wanted.width == config.width && wanted.height == config.height) return image;
  return scaled(image, config.width, config.height);
}

}  // namespace orvel::x11
