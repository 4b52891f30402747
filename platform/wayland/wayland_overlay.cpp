#include "platform/wayland/wayland_overlay.h"

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

#include "platform/cairo/cairo_panel_painter.h"
#include "platform/coalesced_redraw.h"
#include "platform/wayland/outline_strips.h"
#include "platform/wayland/panel_surface.h"
#include "platform/wayland/shm_buffer.h"

namespace orvel::wayland {

namespace {

constexpr int kMaxBuffers = 3;

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;
using Context = std::unique_ptr<cairo_t, decltype(&cairo_destroy)>;

}  // namespace

class WaylandPanel final : public platform::OverlayPanel {
 public:
  WaylandPanel(WaylandOverlay& overlay, const platform::PanelOptions& options,
               platform::OverlayView& view);
  ~WaylandPanel() override { close(); }

  void show(bool makeKey) override;
  void close() override;
  Rect frame() const override { return options_.frame; }
  // Window coordinates share the screen's orientation; only the origin moves.
  Point convertToScreen(Point p) const override {
    const Point o = options_.frame.origin();
    return {o.x + p.x, o.y + p.y};
  }
  Rect convertFromScreen(const Rect& r) const override {
    const Point o = options_.frame.origin();
    return {r.x - o.x, r.y - o.y, r.width, r.height};
  }

  // Global display coordinates to window coordinates.
  Point toWindow(Point global) const {
    return {global.x - origin_.x, options_.frame.height - (global.y - origin_.y)};
  }
  bool covers(Point global) const {
    const Point p = toWindow(global);
    return p.x >= 0 && p.y >= 0 && p.x < options_.frame.width && p.y < options_.frame.height;
  }
  platform::OverlayView& view() { return view_; }

  void configured(std::uint32_t serial);
  // The fullscreen window's configure: acknowledged with the xdg_surface's.
  void windowConfigured(std::uint32_t serial);
  void frameDone();
  void closedByCompositor() { close(); }

 protected:
  void contentChanged(platform::PanelPart part) override {
    if (part == platform::PanelPart::kBackdrop) stillStale_ = true;
    if (!closed_) redrawLater_.request();
  }

 private:
  Rect bounds() const { return {0, 0, options_.frame.width, options_.frame.height}; }
  void redraw();
  void drawStill();
  // The window waits unmapped until its picture comes: the buffer and backdrop that will show it
  // are made and written once meanwhile, so that drawing the picture meets no fresh pages.
  void prepareMemory();
  void clearStill();
  // A buffer, what it shows beyond the still picture, and which still picture it holds.
  struct PanelBuffer {
    std::unique_ptr<ShmBuffer> shm;
    int still = -1;
    std::vector<PixelBox> outlines;
  };
  PanelBuffer* freeBuffer();
  void present(PanelBuffer& buffer, const std::vector<PixelBox>& damage, bool opaque);

  WaylandOverlay& overlay_;
  platform::PanelOptions options_;
  platform::OverlayView& view_;
  wl_output* output_ = nullptr;
  Point origin_;  // global display coordinates
  PanelSurface plan_;
  WlPtr<wl_surface> surface_;
  WlPtr<zwlr_layer_surface_v1> layer_;
  WlPtr<xdg_surface> xdgSurface_;
  WlPtr<xdg_toplevel> toplevel_;
  WlPtr<wp_viewport> viewport_;
  WlPtr<wl_callback> frameCallback_;
  std::vector<PanelBuffer> buffers_;
  // The content's backdrop: what every frame starts from.
  Surface still_{nullptr, cairo_surface_destroy};
  bool stillStale_ = true;
  int stillGeneration_ = 0;  // 0: no still picture yet
  // The still picture and the outlines of the frame last presented; -1: a transparent one.
  int presentedStill_ = -1;
  std::vector<PixelBox> presentedOutlines_;
  bool showsTransparent_ = false;
  bool shown_ = false;
  bool frameShown_ = false;        // the compositor has shown a frame of this panel
  bool pictureCommitted_ = false;  // a frame with the picture awaits its frame callback
  bool pictureShown_ = false;
  bool closed_ = false;
  bool configured_ = false;
  bool redrawWanted_ = false;
  platform::CoalescedRedraw redrawLater_{overlay_.loop_, [this] { redraw(); }};
};

namespace {

WaylandPanel& panelOf(void* data) {
  return *static_cast<WaylandPanel*>(data);
}

const zwlr_layer_surface_v1_listener kLayerListener = {
    [](void* data, zwlr_layer_surface_v1*, std::uint32_t serial, std::uint32_t, std::uint32_t) {
      panelOf(data).configured(serial);
    },
    [](void* data, zwlr_layer_surface_v1*) { panelOf(data).closedByCompositor(); },
};

const xdg_surface_listener kXdgSurfaceListener = {
    [](void* data, xdg_surface*, std::uint32_t serial) { panelOf(data).windowConfigured(serial); },
};

// The size is the output's, as the panel already knows it.
const xdg_toplevel_listener kToplevelListener = {
    [](void*, xdg_toplevel*, std::int32_t, std::int32_t, wl_array*) {},
    [](void* data, xdg_toplevel*) { panelOf(data).closedByCompositor(); },
    [](void*, xdg_toplevel*, std::int32_t, std::int32_t) {},
    [](void*, xdg_toplevel*, wl_array*) {},
};

const wl_callback_listener kFrameListener = {
    [](void* data, wl_callback*, std::uint32_t) { panelOf(data).frameDone(); },
};

}  // namespace

std::unique_ptr<platform::OverlayPanel> WaylandOverlay::createPanel(
    const platform::PanelOptions& options, platform::OverlayView& view) {
  return std::make_unique<WaylandPanel>(*this, options, view);
}

WaylandPanel::WaylandPanel(WaylandOverlay& overlay, const platform::PanelOptions& options,
                           platform::OverlayView& view)
    : overlay_(overlay), options_(options), view_(view) {
  const OutputLayout& layout = overlay_.screens_.layout();
  const auto screens = layout.screens();
  for (std::size_t i = 0; i < screens.size(); ++i) {
    if (screens[i].frame != options_.frame.standardized()) continue;
    const OutputGeometry& g = layout.outputs()[i];
    const WaylandOutput* o = overlay_.connection_.findOutput(g.id);
    if (!o) break;
    output_ = o->output.get();
    origin_ = layout.toGlobal(g.logical).origin();
    plan_ = panelSurface(g, o->scale, overlay_.connection_.viewporter() != nullptr);
    break;
  }
}

void WaylandPanel::show(bool /*makeKey: the surface holds the keyboard itself*/) {
  WaylandConnection& c = overlay_.connection_;
  const bool window = overlay_.role_ == WaylandOverlay::Role::kFullscreenWindow;
  if (shown_ || closed_ || !output_ || !c.ok() || !c.compositor()) return;
  if (window ? !c.wmBase() : !c.layerShell()) return;
  shown_ = true;
  surface_.reset(wl_compositor_create_surface(c.compositor()));
  if (window) {
    xdgSurface_.reset(xdg_wm_base_get_xdg_surface(c.wmBase(), surface_.get()));
    xdg_surface_add_listener(xdgSurface_.get(), &kXdgSurfaceListener, this);
    toplevel_.reset(xdg_surface_get_toplevel(xdgSurface_.get()));
    xdg_toplevel_add_listener(toplevel_.get(), &kToplevelListener, this);
    xdg_toplevel_set_title(toplevel_.get(), "orvel-region");
    xdg_toplevel_set_app_id(toplevel_.get(), "orvel-region");
    xdg_toplevel_set_fullscreen(toplevel_.get(), output_);
  } else {
    layer_.reset(zwlr_layer_shell_v1_get_layer_surface(c.layerShell(), surface_.get(), output_,
                                                       ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY,
                                                       "orvel-region"));
    zwlr_layer_surface_v1_add_listener(layer_.get(), &kLayerListener, this);
    zwlr_layer_surface_v1_set_anchor(
        layer_.get(), ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                          ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(layer_.get(), -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(layer_.get(), 1);
  }
  if (plan_.viewported) {
    viewport_.reset(wp_viewporter_get_viewport(c.viewporter(), surface_.get()));
    wp_viewport_set_destination(viewport_.get(), static_cast<int>(std::lround(bounds().width)),
                                static_cast<int>(std::lround(bounds().height)));
  } else {
    wl_surface_set_buffer_scale(surface_.get(), plan_.bufferScale);
  }
  if (window && c.activation() && !overlay_.activationToken_.empty()) {
    xdg_activation_v1_activate(c.activation(), overlay_.activationToken_.c_str(), surface_.get());
    overlay_.activationToken_.clear();
  }
  wl_surface_commit(surface_.get());
  overlay_.shield_.addSurface(surface_.get(), origin_, plan_.surfaceUnit);
  overlay_.shown(this);
  c.flush();
}

void WaylandPanel::close() {
  redrawLater_.stop();
  if (closed_) return;
  closed_ = true;
  if (surface_) overlay_.shield_.removeSurface(surface_.get());
  overlay_.closed(this);
  frameCallback_.reset();
  viewport_.reset();
  layer_.reset();
  toplevel_.reset();
  xdgSurface_.reset();
  surface_.reset();
  buffers_.clear();
  overlay_.connection_.flush();
}

void WaylandPanel::configured(std::uint32_t serial) {
  zwlr_layer_surface_v1_ack_configure(layer_.get(), serial);
  configured_ = true;
  redraw();
}

void WaylandPanel::windowConfigured(std::uint32_t serial) {
  xdg_surface_ack_configure(xdgSurface_.get(), serial);
  configured_ = true;
  redraw();
}

void WaylandPanel::frameDone() {
  frameCallback_.reset();
  if (!frameShown_) {
    frameShown_ = true;
    overlay_.shield_.surfaceShown(surface_.get());
  }
  if (pictureCommitted_ && !pictureShown_) {
    pictureShown_ = true;
    view_.pictureShown();
  }
  if (redrawWanted_) {
    redrawWanted_ = false;
    redraw();
  }
}

void WaylandPanel::redraw() {
  if (closed_ || !configured_ || !overlay_.connection_.ok()) return;
  if (frameCallback_) {
    // The compositor has not shown the last frame yet: draw once it has.
    redrawWanted_ = true;
    return;
  }
  const platform::PanelContent& content = this->content();
  const bool picture = content.picture && !content.picture->empty();
  const bool shows = picture || overlay_.mode_ == WaylandOverlay::Mode::kLive;
  if (!shows && showsTransparent_) return;
  // A window mapped over the desktop would change what the pictures show (see the header).
  if (!shows && overlay_.role_ == WaylandOverlay::Role::kFullscreenWindow) {
    prepareMemory();
    return;
  }
  PanelBuffer* buffer = freeBuffer();
  if (!buffer) {
    redrawWanted_ = true;
    return;
  }
  ShmBuffer& shm = *buffer->shm;
  const PixelBox whole{0, 0, plan_.pixelWidth, plan_.pixelHeight};
  if (!shows) {
    // Covers the output for input while leaving screen pictures as they are.
    std::memset(shm.data(), 0, shm.size());
    buffer->still = -1;
    presentedStill_ = -1;
    showsTransparent_ = true;
    present(*buffer, {whole}, false);
    return;
  }
  if (stillStale_) drawStill();
  showsTransparent_ = false;
  const std::uint8_t* still = cairo_image_surface_get_data(still_.get());
  const auto stride = static_cast<std::size_t>(shm.stride());
  std::vector<PixelBox> damage;
  if (buffer->still != stillGeneration_ || presentedStill_ != stillGeneration_) {
    std::memcpy(shm.data(), still, shm.size());
    buffer->still = stillGeneration_;
    damage.push_back(whole);
  } else {
    // Only where this buffer showed outlines differs from the still picture.
    for (const PixelBox& box : buffer->outlines)
      copyBox(still, shm.data(), stride, box);
    // The compositor keeps the frame it shows and takes only the damaged parts of the next one,
    // so the outlines of the frame shown are damage too.
    damage = buffer->outlines;
    damage.insert(damage.end(), presentedOutlines_.begin(), presentedOutlines_.end());
  }
  const double scale = plan_.pixelWidth / bounds().width;
  buffer->outlines.clear();
  if (const auto& selection = content.selection) {
    for (const PixelBox& box : outlineStrips(selection->rect, selection->lineWidth, bounds().height,
                                             scale, plan_.pixelWidth, plan_.pixelHeight)) {
      buffer->outlines.push_back(box);
      damage.push_back(box);
    }
  }
  if (content.selection) {
    Surface target(
        cairo_image_surface_create_for_data(shm.data(), CAIRO_FORMAT_ARGB32, plan_.pixelWidth,
                                            plan_.pixelHeight, shm.stride()),
        cairo_surface_destroy);
    {
      Context cr(cairo_create(target.get()), cairo_destroy);
      platform::CairoPanelPainter(cr.get(), {bounds().width, bounds().height}, scale)
          .paintSelection(content);
    }
    cairo_surface_flush(target.get());
  }
  presentedStill_ = stillGeneration_;
  presentedOutlines_ = buffer->outlines;
  pictureCommitted_ = pictureCommitted_ || picture;
  present(*buffer, damage, picture);
}

void WaylandPanel::prepareMemory() {
  if (buffers_.empty()) {
    if (PanelBuffer* buffer = freeBuffer())
      std::memset(buffer->shm->data(), 0, buffer->shm->size());
  }
  if (!still_) {
    still_.reset(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, plan_.pixelWidth, plan_.pixelHeight));
    clearStill();
  }
}

void WaylandPanel::clearStill() {
  cairo_surface_flush(still_.get());
  if (std::uint8_t* data = cairo_image_surface_get_data(still_.get()))
    std::memset(data, 0,
                static_cast<std::size_t>(cairo_image_surface_get_stride(still_.get())) *
                    static_cast<std::size_t>(cairo_image_surface_get_height(still_.get())));
  cairo_surface_mark_dirty(still_.get());
}

void WaylandPanel::drawStill() {
  // The panel's size never changes: the surface is drawn anew in place.
  if (still_) {
    clearStill();
  } else {
    still_.reset(
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, plan_.pixelWidth, plan_.pixelHeight));
  }
  {
    Context cr(cairo_create(still_.get()), cairo_destroy);
    platform::CairoPanelPainter(cr.get(), {bounds().width, bounds().height},
                                plan_.pixelWidth / bounds().width)
        .paintBackdrop(content());
  }
  cairo_surface_flush(still_.get());
  stillStale_ = false;
  ++stillGeneration_;
}

WaylandPanel::PanelBuffer* WaylandPanel::freeBuffer() {
  for (auto& b : buffers_) {
    if (!b.shm->busy()) return &b;
  }
  if (buffers_.size() >= kMaxBuffers || plan_.pixelWidth <= 0 || plan_.pixelHeight <= 0)
    return nullptr;
  // cairo's rows for ARGB32 are exactly width * 4 bytes, so the still picture copies whole.
  auto b = ShmBuffer::create(overlay_.connection_.shm(), plan_.pixelWidth, plan_.pixelHeight,
                             cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, plan_.pixelWidth),
                             WL_SHM_FORMAT_ARGB8888);
  if (!b) return nullptr;
  buffers_.push_back({std::move(b), -1, {}});
  return &buffers_.back();
}

void WaylandPanel::present(PanelBuffer& buffer, const std::vector<PixelBox>& damage, bool opaque) {
  wl_surface* surface = surface_.get();
  buffer.shm->attach(surface);
  if (wl_surface_get_version(surface) >= WL_SURFACE_DAMAGE_BUFFER_SINCE_VERSION) {
    for (const PixelBox& box : damage)
      wl_surface_damage_buffer(surface, box.x, box.y, box.width, box.height);
  } else {
    wl_surface_damage(surface, 0, 0, INT32_MAX, INT32_MAX);
  }
  // An opaque picture spares the compositor blending what lies beneath.
  WlPtr<wl_region> region(wl_compositor_create_region(overlay_.connection_.compositor()));
  if (opaque) wl_region_add(region.get(), 0, 0, INT32_MAX, INT32_MAX);
  wl_surface_set_opaque_region(surface, region.get());
  frameCallback_.reset(wl_surface_frame(surface));
  wl_callback_add_listener(frameCallback_.get(), &kFrameListener, this);
  wl_surface_commit(surface);
  overlay_.connection_.flush();
}

void WaylandOverlay::shown(WaylandPanel* panel) {
  shown_.push_back(panel);
  if (mode_ != Mode::kLive || routing_) return;
  constexpr std::uint64_t kMask = (std::uint64_t{1} << platform::kLeftMouseDown) |
                                  (std::uint64_t{1} << platform::kLeftMouseUp) |
                                  (std::uint64_t{1} << platform::kLeftMouseDragged) |
                                  (std::uint64_t{1} << platform::kKeyDown);
  routing_ = shield_.install(kMask, [this](const platform::InputEvent& e) { return route(e); });
  shield_.setEnabled(routing_);
}

void WaylandOverlay::closed(WaylandPanel* panel) {
  std::erase(shown_, panel);
  if (pressed_ == panel) pressed_ = nullptr;
}

void WaylandOverlay::connectionLost() {
  if (mode_ == Mode::kLive) route({platform::kKeyDown, {}, platform::kEscapeKeyCode});
}

bool WaylandOverlay::route(const platform::InputEvent& event) {
  queued_.push_back(event);
  if (!delivering_) {
    delivering_ = true;
    loop_.defer([this, alive = alive_] {
      if (*alive) deliverQueued();
    });
  }
  return false;
}

void WaylandOverlay::deliverQueued() {
  while (!queued_.empty()) {
    const platform::InputEvent event = queued_.front();
    queued_.pop_front();
    deliver(event);
  }
  delivering_ = false;
}

void WaylandOverlay::deliver(const platform::InputEvent& event) {
  switch (event.type) {
    case platform::kLeftMouseDown:
      for (WaylandPanel* panel : shown_) {
        if (!panel->covers(event.location)) continue;
        pressed_ = panel;
        panel->view().mouseDown(panel->toWindow(event.location));
        break;
      }
      break;
    case platform::kLeftMouseDragged:
      if (pressed_) pressed_->view().mouseDragged(pressed_->toWindow(event.location));
      break;
    case platform::kLeftMouseUp:
      if (WaylandPanel* panel = std::exchange(pressed_, nullptr))
        panel->view().mouseUp(panel->toWindow(event.location));
      break;
    case platform::kKeyDown:
      if (!shown_.empty()) shown_.front()->view().keyDown(event.keyCode);
      break;
    default:
      break;
  }
}

}  // namespace orvel::wayland
